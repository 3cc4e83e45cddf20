// Type records: field lookups, the empty descriptor, attachments and the lock.
#include "net/proto/message_type.h"

#include <gtest/gtest.h>

#include <memory>

#include "mutex_overlap.h"
#include "net/proto/protocol_message.h"
#include "sample_type.h"

namespace {

using sample_type::kByName;
using sample_type::kByNumber;
using sample_type::kFields;
using sample_type::MakeType;

TEST(MessageTypeTest, LooksUpFieldsByNumberAndName) {
  const MessageType type("testtype", 0, kFields, 3, kByNumber, 3, kByName);
  EXPECT_EQ(type.highest_field_number(), 3);
  EXPECT_EQ(type.entry_count(), 3);
  EXPECT_EQ(type.FieldByNumber(0), &kFields[0]);
  EXPECT_EQ(type.FieldByNumber(2), nullptr);
  EXPECT_EQ(type.FieldByNumber(3), &kFields[2]);
  EXPECT_EQ(type.FieldByNumber(4), nullptr);
  EXPECT_EQ(type.FieldByNumber(-1), nullptr);
  EXPECT_EQ(type.FindFieldByName("zeta"), &kFields[1]);
  EXPECT_EQ(type.FindFieldByName("Alpha"), &kFields[2]);
  EXPECT_EQ(type.FindFieldByName("ErrorCode"), &kFields[0]);
  EXPECT_EQ(type.FindFieldByName("alpha"), nullptr);
  EXPECT_TRUE(type.text(0).empty());
  EXPECT_TRUE(type.text(1).empty());
  // The descriptor is an empty ProtocolDescriptor: its two required strings unset.
  ASSERT_NE(type.descriptor(), nullptr);
  EXPECT_EQ(type.descriptor()->GetType().name(), "protocoldescriptor");
  EXPECT_STREQ(type.descriptor()->FindMissingField(), "missing field: filename");
  EXPECT_EQ(type.self_description(), nullptr);
  EXPECT_EQ(type.self_description_size(), 0);
}

TEST(MessageTypeTest, AttachmentsAreDestroyedWithTheRecord) {
  struct Probe : TypeAttachment {
    explicit Probe(bool* flag) : flag(flag) {}
    ~Probe() override { *flag = true; }
    bool* flag;
  };
  bool destroyed = false;
  {
    MessageType type = MakeType("attached", 0);
    for (int slot = 0; slot < MessageType::kAttachmentSlots; ++slot)
      EXPECT_EQ(type.attachment(slot), nullptr);
    type.set_attachment(1, std::make_unique<Probe>(&destroyed));
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
}

TEST(MessageTypeTest, LockKeepsThreadsOutOfEachOther) {
  const MessageType type = MakeType("locked", 0);
  EXPECT_FALSE(TwoThreadsWereEverInsideAtOnce(type.lock()));
}

}  // namespace
