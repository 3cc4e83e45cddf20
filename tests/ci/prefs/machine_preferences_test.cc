// The machine preferences store's copy rules: what decoding puts in the store and
// what the store serialises again.
#include "ci/prefs/machine_preferences.h"

#include <gtest/gtest.h>

#include "ci/prefs/stored_value.h"
#include "tests/support/bytes.h"

namespace ci {
namespace {

using test::ByteList;

bool Decode(const std::vector<uint8_t>& bytes, ProtoWrapper* store) {
  return DecodeBlob(bytes.data(), static_cast<uint32_t>(bytes.size()), store);
}

TEST(MachinePreferencesWrapper, StartsWithTheMessageDefaultsAndNothingPresent) {
  MachinePreferencesWrapper store;
  EXPECT_FALSE(store.notify_software_updates());
  EXPECT_FALSE(store.send_stats());
  EXPECT_TRUE(store.express_updates_enabled());
  EXPECT_TRUE(store.third_party_updates_enabled());
  EXPECT_FALSE(store.user_changed_third_party_updates_enabled());
  EXPECT_FALSE(store.has_notify_software_updates() || store.has_send_stats() ||
               store.has_express_updates_enabled() || store.has_third_party_updates_enabled() ||
               store.has_user_changed_third_party_updates_enabled());
  EXPECT_TRUE(SerializeWrapper(&store).empty());
}

TEST(MachinePreferencesWrapper, GetMessageKeepsOneMessage) {
  MachinePreferencesWrapper store;
  ProtocolMessage* first = store.GetMessage();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(store.GetMessage(), first);
  EXPECT_NE(dynamic_cast<MachinePreferencesProto*>(first), nullptr);
}

TEST(MachinePreferencesWrapper, DecodingCopiesValuesAndPresence) {
  MachinePreferencesWrapper store;
  ASSERT_TRUE(Decode(ByteList({0x10, 0x01}), &store));
  EXPECT_TRUE(store.send_stats());
  EXPECT_TRUE(store.has_send_stats());
  EXPECT_TRUE(store.express_updates_enabled());
  EXPECT_FALSE(store.has_express_updates_enabled());
  EXPECT_EQ(SerializeWrapper(&store), ByteList({0x10, 0x01}));

  // Every field, including ones equal to their defaults, is kept present.
  const auto all = ByteList({0x08, 0x01, 0x10, 0x00, 0x18, 0x01, 0x20, 0x00, 0x28, 0x01});
  ASSERT_TRUE(Decode(all, &store));
  EXPECT_TRUE(store.notify_software_updates());
  EXPECT_FALSE(store.send_stats());
  EXPECT_TRUE(store.has_send_stats());
  EXPECT_TRUE(store.express_updates_enabled());
  EXPECT_FALSE(store.third_party_updates_enabled());
  EXPECT_TRUE(store.user_changed_third_party_updates_enabled());
  EXPECT_TRUE(store.has_user_changed_third_party_updates_enabled());
  EXPECT_EQ(SerializeWrapper(&store), all);
}

TEST(MachinePreferencesWrapper, ASecondDecodeReplacesTheFirst) {
  MachinePreferencesWrapper store;
  ASSERT_TRUE(Decode(ByteList({0x08, 0x01, 0x10, 0x01}), &store));
  ASSERT_TRUE(Decode(ByteList({0x00}), &store));  // decodes, every field absent
  EXPECT_FALSE(store.has_notify_software_updates());
  EXPECT_FALSE(store.send_stats());
  EXPECT_FALSE(store.has_send_stats());
  EXPECT_TRUE(SerializeWrapper(&store).empty());
}

TEST(MachinePreferencesWrapper, UnknownFieldsAreSavedAfterTheKnownOnes) {
  MachinePreferencesWrapper store;
  // field 9 as a varint, field 1 with a foreign wire type (length-delimited), then send_stats.
  const auto blob = ByteList({0x48, 0x05, 0x0A, 0x01, 0x41, 0x10, 0x01});
  ASSERT_TRUE(Decode(blob, &store));
  EXPECT_FALSE(store.has_notify_software_updates());
  EXPECT_EQ(SerializeWrapper(&store), ByteList({0x10, 0x01, 0x48, 0x05, 0x0A, 0x01, 0x41}));
}

TEST(MachinePreferencesWrapper, AFailedDecodeLeavesTheStoreAsItWas) {
  MachinePreferencesWrapper store;
  ASSERT_TRUE(Decode(ByteList({0x10, 0x01}), &store));
  EXPECT_FALSE(Decode(ByteList({0x00, 0x08, 0x01}), &store));
  EXPECT_TRUE(store.send_stats());
  EXPECT_TRUE(store.has_send_stats());
  EXPECT_FALSE(store.has_notify_software_updates());
}

TEST(MachinePreferencesWrapper, SettersMarkFieldsPresentForSaving) {
  MachinePreferencesWrapper store;
  store.set_express_updates_enabled(false);
  store.set_send_stats(true);
  EXPECT_EQ(SerializeWrapper(&store), ByteList({0x10, 0x01, 0x18, 0x00}));
}

TEST(MachinePreferencesWrapper, MessagesOfAnotherTypeAreIgnored) {
  MachinePreferencesWrapper store;
  UserPreferencesProto user;
  user.set_notify_new_software(true);
  user.set_display_systray(true);  // field 2, where send_stats lives in the other type
  store.ReadFromMessage(&user);
  EXPECT_FALSE(store.has_send_stats());
  store.set_send_stats(true);
  store.WriteToMessage(&user);
  EXPECT_EQ(user.EncodedSize(), 4);  // unchanged: two booleans
}

}  // namespace
}  // namespace ci
