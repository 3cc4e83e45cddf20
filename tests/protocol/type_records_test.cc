// The type records of the message classes: names, field tables in both orders,
// registration, default instances.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/proto/message_type.h"
#include "net/proto/message_type_registry.h"
#include "net/proto/protocoltype.h"
#include "net/proto/wire_codec.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"

namespace {

std::vector<std::string> NamesInNameOrder(const MessageType& type) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < type.entry_count(); ++i) names.push_back(type.FieldInNameOrder(i).name);
  return names;
}

TEST(TypeRecordsTest, EachClassIsRegisteredOnceUnderItsLowerCaseName) {
  const ProtocolMessage* defaults[] = {
      &MachinePreferencesProto::default_instance(), &UserPreferencesProto::default_instance(),
      &ProxySettingsProto::default_instance(), &ProtocolDescriptor::default_instance(),
      &RPC_ServiceDescriptor::default_instance()};
  const char* names[] = {"machinepreferencesproto", "userpreferencesproto", "proxysettingsproto",
                         "protocoldescriptor", "rpc_servicedescriptor"};
  for (int i = 0; i < 5; ++i) {
    const MessageType& type = defaults[i]->GetType();
    EXPECT_EQ(type.name(), names[i]);
    EXPECT_EQ(type.numeric_id(), 0);
    EXPECT_EQ(MessageTypeRegistry::Global().NameCount(names[i]), 1);
    EXPECT_EQ(MessageTypeRegistry::Global().FindByName(names[i]), &type);
    // Every record holds an empty ProtocolDescriptor of its own.
    ASSERT_NE(type.descriptor(), nullptr);
    const auto* descriptor = dynamic_cast<const ProtocolDescriptor*>(type.descriptor());
    ASSERT_NE(descriptor, nullptr);
    EXPECT_NE(descriptor, &ProtocolDescriptor::default_instance());
    EXPECT_FALSE(descriptor->has_name());
    EXPECT_FALSE(descriptor->has_filename());
    EXPECT_EQ(descriptor->tag_size(), 0);
    EXPECT_EQ(descriptor->unknown_fields(), nullptr);
  }
  EXPECT_EQ(MessageTypeRegistry::Global().IdCount(0), 0);
}

TEST(TypeRecordsTest, TablesListErrorCodeFirstThenFieldsInByteOrder) {
  EXPECT_EQ(NamesInNameOrder(MachinePreferencesProto::default_instance().GetType()),
            (std::vector<std::string>{
                "ErrorCode", "express_updates_enabled", "notify_software_updates", "send_stats",
                "third_party_updates_enabled", "user_changed_third_party_updates_enabled"}));
  EXPECT_EQ(NamesInNameOrder(UserPreferencesProto::default_instance().GetType()),
            (std::vector<std::string>{"ErrorCode", "display_systray", "notify_new_software",
                                      "window_height", "window_width"}));
  EXPECT_EQ(NamesInNameOrder(ProxySettingsProto::default_instance().GetType()),
            (std::vector<std::string>{"ErrorCode", "auto_detect", "http_host", "http_port",
                                      "proxy_for_all", "ssl_host", "ssl_port"}));
}

TEST(TypeRecordsTest, FieldRecordsCarryNumberTypesLabelAndDefaultText) {
  const MessageType& proxy = ProxySettingsProto::default_instance().GetType();
  EXPECT_EQ(proxy.highest_field_number(), 6);
  EXPECT_EQ(proxy.entry_count(), 7);
  const FieldInfo& error = proxy.field(0);
  EXPECT_STREQ(error.name, "ErrorCode");
  EXPECT_EQ(error.number, 0);
  EXPECT_EQ(error.declared_type, TYPE_INT64);
  EXPECT_EQ(error.wire_type, WIRETYPE_NUMERIC);
  EXPECT_EQ(error.label, LABEL_OPTIONAL);
  EXPECT_STREQ(error.default_text, "200");

  struct Expected {
    const char* name;
    int32_t wire, declared, label;
    const char* default_text;
  } expected[] = {
      {"auto_detect", WIRETYPE_NUMERIC, TYPE_BOOL, LABEL_REQUIRED, "false"},
      {"http_host", WIRETYPE_STRING, TYPE_STRING, LABEL_OPTIONAL, ""},
      {"http_port", WIRETYPE_FLOAT, TYPE_FIXED32, LABEL_OPTIONAL, "80"},
      {"ssl_host", WIRETYPE_STRING, TYPE_STRING, LABEL_OPTIONAL, ""},
      {"ssl_port", WIRETYPE_FLOAT, TYPE_FIXED32, LABEL_OPTIONAL, "443"},
      {"proxy_for_all", WIRETYPE_NUMERIC, TYPE_BOOL, LABEL_OPTIONAL, "true"},
  };
  for (int32_t n = 1; n <= 6; ++n) {
    const FieldInfo* f = proxy.FieldByNumber(n);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f, &proxy.field(n));  // declaration order is number order here
    EXPECT_EQ(f->number, n);
    EXPECT_STREQ(f->name, expected[n - 1].name);
    EXPECT_STREQ(f->short_name, expected[n - 1].name);
    EXPECT_EQ(f->wire_type, expected[n - 1].wire);
    EXPECT_EQ(f->declared_type, expected[n - 1].declared);
    EXPECT_EQ(f->label, expected[n - 1].label);
    EXPECT_STREQ(f->default_text, expected[n - 1].default_text);
    EXPECT_EQ(proxy.FindFieldByName(expected[n - 1].name), f);
  }

  const MessageType& user = UserPreferencesProto::default_instance().GetType();
  EXPECT_STREQ(user.FieldByNumber(3)->default_text, "740");
  EXPECT_STREQ(user.FieldByNumber(4)->default_text, "560");
  const MessageType& machine = MachinePreferencesProto::default_instance().GetType();
  EXPECT_STREQ(machine.FieldByNumber(3)->default_text, "true");
  EXPECT_STREQ(machine.FieldByNumber(5)->default_text, "false");
}

TEST(TypeRecordsTest, DescriptorRecordsCoverTheirGroupsFields) {
  const MessageType& descriptor = ProtocolDescriptor::default_instance().GetType();
  EXPECT_EQ(descriptor.highest_field_number(), 19);
  EXPECT_EQ(descriptor.entry_count(), 20);
  const FieldInfo* value = descriptor.FieldByNumber(19);
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value->name, "EnumType.Tag.value");
  EXPECT_STREQ(value->short_name, "value");
  const FieldInfo* group = descriptor.FindFieldByName("EnumType.Tag");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->number, 17);
  EXPECT_EQ(group->wire_type, WIRETYPE_STARTGROUP);
  EXPECT_EQ(group->declared_type, TYPE_GROUP);
  EXPECT_EQ(group->label, LABEL_REPEATED);
  EXPECT_STREQ(descriptor.FindFieldByName("Tag.parent")->default_text, "-1");
  EXPECT_STREQ(descriptor.field(1).name, "filename");  // declaration order
  EXPECT_EQ(NamesInNameOrder(descriptor).front(), "EnumType");
  EXPECT_EQ(NamesInNameOrder(descriptor)[1], "EnumType.Tag");

  const MessageType& service = RPC_ServiceDescriptor::default_instance().GetType();
  EXPECT_EQ(service.highest_field_number(), 16);
  EXPECT_EQ(service.entry_count(), 16);
  EXPECT_EQ(service.FieldByNumber(15), nullptr);
  EXPECT_STREQ(service.FieldByNumber(16)->default_text, "0.0");
  EXPECT_STREQ(service.FieldByNumber(14)->name, "Method.stream_type");
  EXPECT_EQ(NamesInNameOrder(service).front(), "ErrorCode");
}

TEST(TypeRecordsTest, DefaultInstancesHoldTheDefaults) {
  EXPECT_EQ(UserPreferencesProto::default_instance().window_width(), 740);
  EXPECT_EQ(ProxySettingsProto::default_instance().ssl_port(), 443);
  EXPECT_FALSE(ProxySettingsProto::default_instance().has_auto_detect());
  EXPECT_EQ(MachinePreferencesProto::default_instance().EncodedSize(), 0);
}

}  // namespace
