// The generator's own consistency check: every class's embedded self-description,
// decoded with ProtocolDescriptor, gives back the schema the class was generated
// from, field by field, as its type record lists it; and the descriptor schemas
// are the ones the rest of the system relies on.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "net/proto/message_type.h"
#include "net/proto/protocol_message.h"
#include "net/proto/protocoltype.h"
#include "net/proto/wire_codec.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"

namespace {

struct ClassUnderTest {
  const ProtocolMessage* instance;
  const char* class_name;
  const char* filename;
  // Fields whose self-description carries a default_value.
  std::vector<std::string> with_defaults;
};

std::vector<ClassUnderTest> AllClasses() {
  return {
      {&MachinePreferencesProto::default_instance(),
       "MachinePreferencesProto",
       "protocol/preferences.proto",
       {"notify_software_updates", "send_stats", "express_updates_enabled",
        "third_party_updates_enabled", "user_changed_third_party_updates_enabled"}},
      {&UserPreferencesProto::default_instance(),
       "UserPreferencesProto",
       "protocol/preferences.proto",
       {"notify_new_software", "display_systray", "window_width", "window_height"}},
      {&ProxySettingsProto::default_instance(),
       "ProxySettingsProto",
       "protocol/proxy_settings.proto",
       {"http_port", "ssl_port", "proxy_for_all"}},
      {&ProtocolDescriptor::default_instance(),
       "ProtocolDescriptor",
       "velmor3/net/proto/protocoltype.proto",
       {"Tag.parent", "Tag.enum_id"}},
      {&RPC_ServiceDescriptor::default_instance(),
       "RPC_ServiceDescriptor",
       "velmor3/net/proto/protocoltype.proto",
       {}},
  };
}

bool Decode(const MessageType& type, ProtocolDescriptor* d) {
  return ParseFromBytes(d, type.self_description(), type.self_description_size());
}

TEST(SelfDescriptionTest, EveryClassDescribesTheSchemaItWasGeneratedFrom) {
  for (const ClassUnderTest& c : AllClasses()) {
    SCOPED_TRACE(c.class_name);
    const MessageType& type = c.instance->GetType();
    ProtocolDescriptor d;
    ASSERT_TRUE(Decode(type, &d));
    EXPECT_EQ(d.name(), c.class_name);
    EXPECT_EQ(d.filename(), c.filename);
    ASSERT_EQ(d.tag_size(), type.entry_count() - 1);

    std::vector<std::string> full_names;
    std::vector<std::string> with_defaults;
    for (int32_t i = 0; i < d.tag_size(); ++i) {
      const ProtocolDescriptor::Tag& tag = d.tag(i);
      const FieldInfo& field = type.field(i + 1);  // declaration order, after ErrorCode
      SCOPED_TRACE(field.name);
      EXPECT_EQ(tag.name(), field.short_name);
      EXPECT_EQ(tag.number(), field.number);
      EXPECT_EQ(tag.wire_type(), field.wire_type);
      EXPECT_EQ(tag.declared_type(), field.declared_type);
      EXPECT_EQ(tag.label(), field.label);
      if (tag.has_default_value()) {
        EXPECT_EQ(tag.default_value(), field.default_text);
        with_defaults.push_back(field.name);
      }
      // The parent is an earlier group entry; its full name prefixes this one's.
      ASSERT_LT(tag.parent(), i);
      EXPECT_EQ(tag.has_parent(), tag.parent() != -1);
      std::string full = tag.name();
      if (tag.parent() >= 0) {
        EXPECT_EQ(d.tag(tag.parent()).declared_type(), TYPE_GROUP);
        full = full_names[static_cast<size_t>(tag.parent())] + "." + full;
      }
      EXPECT_EQ(full, field.name);
      full_names.push_back(full);
      EXPECT_FALSE(tag.has_foreign());
      EXPECT_FALSE(tag.has_enum_id());
    }
    EXPECT_EQ(with_defaults, c.with_defaults);

    // The embedded bytes are the canonical encoding of what they hold.
    std::string encoded;
    AppendEncoded(d, &encoded);
    EXPECT_EQ(encoded, std::string(reinterpret_cast<const char*>(type.self_description()),
                                   static_cast<size_t>(type.self_description_size())));
  }
}

TEST(SelfDescriptionTest, ClassAccessorsAndTypeRecordsHoldTheSameBytes) {
  EXPECT_EQ(ProtocolDescriptor::self_description(),
            ProtocolDescriptor::default_instance().GetType().self_description());
  EXPECT_EQ(RPC_ServiceDescriptor::self_description_size(),
            RPC_ServiceDescriptor::default_instance().GetType().self_description_size());
  EXPECT_EQ(ProxySettingsProto::self_description(),
            ProxySettingsProto::default_instance().GetType().self_description());
}

struct Row {
  const char* name;
  int32_t number, declared_type, label, parent;
};

void ExpectRows(const ProtocolDescriptor& d, const std::vector<Row>& rows) {
  ASSERT_EQ(d.tag_size(), static_cast<int32_t>(rows.size()));
  for (int32_t i = 0; i < d.tag_size(); ++i) {
    const Row& row = rows[static_cast<size_t>(i)];
    SCOPED_TRACE(row.name);
    EXPECT_EQ(d.tag(i).name(), row.name);
    EXPECT_EQ(d.tag(i).number(), row.number);
    EXPECT_EQ(d.tag(i).declared_type(), row.declared_type);
    EXPECT_EQ(d.tag(i).label(), row.label);
    EXPECT_EQ(d.tag(i).parent(), row.parent);
  }
}

constexpr int32_t kOpt = LABEL_OPTIONAL, kReq = LABEL_REQUIRED, kRep = LABEL_REPEATED;

TEST(SelfDescriptionTest, TheDescriptorSchemaDescribesItself) {
  ProtocolDescriptor d;
  ASSERT_TRUE(Decode(ProtocolDescriptor::default_instance().GetType(), &d));
  ExpectRows(d, {{"filename", 11, TYPE_STRING, kReq, -1},
                 {"name", 1, TYPE_STRING, kReq, -1},
                 {"Tag", 2, TYPE_GROUP, kRep, -1},
                 {"name", 3, TYPE_STRING, kReq, 2},
                 {"number", 4, TYPE_INT32, kReq, 2},
                 {"wire_type", 5, TYPE_INT32, kReq, 2},
                 {"declared_type", 6, TYPE_INT32, kReq, 2},
                 {"label", 7, TYPE_INT32, kReq, 2},
                 {"default_value", 8, TYPE_STRING, kOpt, 2},
                 {"foreign", 9, TYPE_STRING, kOpt, 2},
                 {"flags", 10, TYPE_INT32, kOpt, 2},
                 {"parent", 12, TYPE_INT32, kOpt, 2},
                 {"enum_id", 13, TYPE_INT32, kOpt, 2},
                 {"EnumType", 14, TYPE_GROUP, kRep, -1},
                 {"name", 15, TYPE_STRING, kReq, 13},
                 {"parent", 16, TYPE_INT32, kOpt, 13},
                 {"Tag", 17, TYPE_GROUP, kRep, 13},
                 {"name", 18, TYPE_STRING, kReq, 16},
                 {"value", 19, TYPE_INT32, kReq, 16}});
  EXPECT_EQ(d.tag(11).default_value(), "-1");
  EXPECT_EQ(d.tag(12).default_value(), "-1");

  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, int32_t>>>>
      expected_enums = {
          {"WireType",
           {{"WIRETYPE_NUMERIC", 0},
            {"WIRETYPE_DOUBLE", 1},
            {"WIRETYPE_STRING", 2},
            {"WIRETYPE_STARTGROUP", 3},
            {"WIRETYPE_ENDGROUP", 4},
            {"WIRETYPE_FLOAT", 5}}},
          {"Label", {{"LABEL_OPTIONAL", 1}, {"LABEL_REQUIRED", 2}, {"LABEL_REPEATED", 3}}},
          {"DeclaredType",
           {{"TYPE_DOUBLE", 1},
            {"TYPE_FLOAT", 2},
            {"TYPE_INT64", 3},
            {"TYPE_UINT64", 4},
            {"TYPE_INT32", 5},
            {"TYPE_FIXED64", 6},
            {"TYPE_FIXED32", 7},
            {"TYPE_BOOL", 8},
            {"TYPE_STRING", 9},
            {"TYPE_GROUP", 10},
            {"TYPE_FOREIGN", 11}}},
      };
  ASSERT_EQ(d.enum_type_size(), 3);
  for (int32_t i = 0; i < 3; ++i) {
    const ProtocolDescriptor::EnumType& e = d.enum_type(i);
    EXPECT_EQ(e.name(), expected_enums[static_cast<size_t>(i)].first);
    EXPECT_FALSE(e.has_parent());
    std::vector<std::pair<std::string, int32_t>> values;
    for (int32_t j = 0; j < e.tag_size(); ++j)
      values.emplace_back(e.tag(j).name(), e.tag(j).value());
    EXPECT_EQ(values, expected_enums[static_cast<size_t>(i)].second);
  }
}

TEST(SelfDescriptionTest, TheServiceSchemaIsDescribedWithoutDefaultsOrEnums) {
  ProtocolDescriptor d;
  ASSERT_TRUE(Decode(RPC_ServiceDescriptor::default_instance().GetType(), &d));
  EXPECT_EQ(d.name(), "RPC_ServiceDescriptor");
  ExpectRows(d, {{"filename", 1, TYPE_STRING, kReq, -1},
                 {"name", 2, TYPE_STRING, kReq, -1},
                 {"failure_detection_delay", 16, TYPE_DOUBLE, kOpt, -1},
                 {"Method", 3, TYPE_GROUP, kRep, -1},
                 {"name", 4, TYPE_STRING, kReq, 3},
                 {"argument_type", 5, TYPE_STRING, kReq, 3},
                 {"result_type", 6, TYPE_STRING, kReq, 3},
                 {"stream_type", 14, TYPE_STRING, kOpt, 3},
                 {"protocol", 7, TYPE_STRING, kOpt, 3},
                 {"deadline", 8, TYPE_DOUBLE, kOpt, 3},
                 {"duplicate_suppression", 9, TYPE_BOOL, kOpt, 3},
                 {"fail_fast", 10, TYPE_BOOL, kOpt, 3},
                 {"client_logging", 11, TYPE_INT32, kOpt, 3},
                 {"server_logging", 12, TYPE_INT32, kOpt, 3},
                 {"security_level", 13, TYPE_STRING, kOpt, 3}});
  EXPECT_EQ(d.enum_type_size(), 0);
}

}  // namespace
