// DecodeBlob over real BSTRs: the byte length decides, not the character count.
#include <windows.h>

#include <gtest/gtest.h>

#include "ci/base/win_handles.h"
#include "net/proto/decode_blob_win.h"
#include "protocol/preferences.h"

namespace {

class MachineStore : public ProtoWrapper {
 public:
  ~MachineStore() { delete message_; }
  ProtocolMessage* GetMessage() override {
    ++get_calls;
    if (!message_) message_ = new MachinePreferencesProto;
    return message_;
  }
  void ReadFromMessage(ProtocolMessage* m) override {
    ++read_calls;
    send_stats = static_cast<MachinePreferencesProto*>(m)->send_stats();
    notify = static_cast<MachinePreferencesProto*>(m)->notify_software_updates();
  }
  void WriteToMessage(ProtocolMessage*) override {}

  int get_calls = 0;
  int read_calls = 0;
  bool send_stats = false;
  bool notify = false;

 private:
  MachinePreferencesProto* message_ = nullptr;
};

TEST(DecodeBlobWinTest, NullAndEmptyBstrsAreRefusedWithoutTouchingTheStore) {
  MachineStore store;
  EXPECT_FALSE(DecodeBlob(static_cast<BSTR>(nullptr), &store));
  ci::UniqueBstr empty = ci::MakeByteBstr("", 0);
  ASSERT_TRUE(empty);
  EXPECT_FALSE(DecodeBlob(empty.get(), &store));
  EXPECT_EQ(store.get_calls, 0);
}

TEST(DecodeBlobWinTest, OddByteLengthIsHonoured) {
  // Three bytes: a BSTR's character count would round this to two characters.
  MachineStore store;
  const char bytes[] = {0x10, 0x01, 0x08};
  ci::UniqueBstr blob = ci::MakeByteBstr(bytes, 3);
  ASSERT_EQ(::SysStringByteLen(blob.get()), 3u);
  EXPECT_FALSE(DecodeBlob(blob.get(), &store));  // field 1 has no value
  EXPECT_EQ(store.read_calls, 0);

  const char five[] = {0x10, 0x01, 0x08, 0x01, 0x00};  // ends with a zero byte
  blob = ci::MakeByteBstr(five, 5);
  EXPECT_TRUE(DecodeBlob(blob.get(), &store));
  EXPECT_EQ(store.read_calls, 1);
  EXPECT_TRUE(store.send_stats);
  EXPECT_TRUE(store.notify);
}

}  // namespace
