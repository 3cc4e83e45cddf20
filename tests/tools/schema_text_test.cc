#include "tools/schema_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "net/proto/message_type.h"
#include "net/proto/message_type_registry.h"
#include "net/proto/protocoltype.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"

namespace ci {
namespace {

// The types a program of the system registers at start.
void RegisterAll() {
  MachinePreferencesProto::default_instance();
  UserPreferencesProto::default_instance();
  ProxySettingsProto::default_instance();
  ProtocolDescriptor::default_instance();
  RPC_ServiceDescriptor::default_instance();
}

TEST(SchemaText, WordsComeFromTheDescriptorSchemasOwnEnums) {
  EXPECT_EQ(DeclaredTypeWord(7), "fixed32");
  EXPECT_EQ(DeclaredTypeWord(10), "group");
  EXPECT_EQ(DeclaredTypeWord(99), "99");
  EXPECT_EQ(LabelWord(2), "required");
  EXPECT_EQ(LabelWord(3), "repeated");
}

TEST(SchemaText, AFlatMessageReadsLikeItsSchemaFile) {
  std::string text;
  ASSERT_TRUE(DescribeType(ProxySettingsProto::default_instance().GetType(), &text));
  EXPECT_EQ(text,
            "// proxysettingsproto, from protocol/proxy_settings.proto\n"
            "message ProxySettingsProto {\n"
            "  required bool auto_detect = 1;\n"
            "  optional string http_host = 2;\n"
            "  optional fixed32 http_port = 3 [default = 80];\n"
            "  optional string ssl_host = 4;\n"
            "  optional fixed32 ssl_port = 5 [default = 443];\n"
            "  optional bool proxy_for_all = 6 [default = true];\n"
            "}\n");
}

TEST(SchemaText, GroupsNestAndEnumsListTheirValues) {
  std::string text;
  ASSERT_TRUE(DescribeType(ProtocolDescriptor::default_instance().GetType(), &text));
  EXPECT_NE(text.find("message ProtocolDescriptor {\n"
                      "  required string filename = 11;\n"
                      "  required string name = 1;\n"
                      "  repeated group Tag = 2 {\n"
                      "    required string name = 3;\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    optional int32 enum_id = 13 [default = -1];\n  }\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("    repeated group Tag = 17 {\n"
                      "      required string name = 18;\n"
                      "      required int32 value = 19;\n"
                      "    }\n"
                      "  }\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  enum Label {\n"
                      "    LABEL_OPTIONAL = 1;\n"
                      "    LABEL_REQUIRED = 2;\n"
                      "    LABEL_REPEATED = 3;\n"
                      "  }\n"),
            std::string::npos)
      << text;
}

TEST(SchemaText, DescribeFindsRegisteredTypesByEitherName) {
  RegisterAll();
  std::string text, error;
  ASSERT_TRUE(DescribeRegisteredTypes("RPC_ServiceDescriptor", &text, &error)) << error;
  EXPECT_EQ(text.compare(0, 25, "// rpc_servicedescriptor,"), 0) << text;
  EXPECT_NE(text.find("  optional double failure_detection_delay = 16;\n"), std::string::npos)
      << text;

  ASSERT_TRUE(DescribeRegisteredTypes("", &text, &error)) << error;
  std::vector<std::string::size_type> at;
  for (const char* name : {"MachinePreferencesProto", "ProtocolDescriptor", "ProxySettingsProto",
                           "RPC_ServiceDescriptor", "UserPreferencesProto"}) {
    at.push_back(text.find(std::string("message ") + name + " {"));
    EXPECT_NE(at.back(), std::string::npos) << name;
  }
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));  // in type-name order

  EXPECT_FALSE(DescribeRegisteredTypes("nosuchtype", &text, &error));
  EXPECT_NE(error.find("no message type \"nosuchtype\""), std::string::npos) << error;
  EXPECT_NE(error.find("proxysettingsproto"), std::string::npos) << error;
}

TEST(SchemaText, ATypeWithoutASelfDescriptionIsRefused) {
  const FieldInfo fields[] = {kErrorCodeFieldInfo};
  const FieldInfo* const by_number[] = {&fields[0]};
  const MessageType bare("bare", 0, fields, 1, by_number, 0, by_number);
  std::string text;
  EXPECT_FALSE(DescribeType(bare, &text));
}

}  // namespace
}  // namespace ci
