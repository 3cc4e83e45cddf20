#include "tools/client_command.h"

#include <gtest/gtest.h>

#include "net/proto/message_type.h"
#include "net/proto/protocol_message.h"

namespace ci {
namespace {

struct Parsed {
  bool ok;
  ClientCommand command;
  std::string error;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed parsed;
  parsed.ok = ParseClientCommand(args, &parsed.command, &parsed.error);
  return parsed;
}

TEST(ClientCommand, PreferenceOptionsInBothSpellingsAndForms) {
  const Parsed p = Parse({"set-prefs", "--send-stats=true", "--express_updates_enabled", "off",
                          "--notify-software-updates=1"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.kind, CommandKind::kSetPrefs);
  ASSERT_EQ(p.command.fields.size(), 3u);
  EXPECT_STREQ(p.command.fields[0].field->name, "send_stats");
  EXPECT_TRUE(p.command.fields[0].flag);
  EXPECT_STREQ(p.command.fields[1].field->name, "express_updates_enabled");
  EXPECT_FALSE(p.command.fields[1].flag);
  EXPECT_STREQ(p.command.fields[2].field->name, "notify_software_updates");
  EXPECT_TRUE(p.command.fields[2].flag);
}

TEST(ClientCommand, EveryFieldHasAnOption) {
  std::vector<std::string> prefs = {"set-prefs"};
  for (const FieldInfo* field : SettableFields(MessageOf(CommandKind::kSetPrefs)->GetType())) {
    prefs.push_back(std::string("--") + field->name + "=yes");
  }
  const Parsed p = Parse(prefs);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.fields.size(), 5u);

  const Parsed proxy =
      Parse({"set-proxy", "--auto-detect=false", "--http-host=proxy_1.example", "--http-port=8080",
             "--ssl-host", "tls.example", "--ssl-port", "0", "--proxy-for-all=no"});
  ASSERT_TRUE(proxy.ok) << proxy.error;
  ASSERT_EQ(proxy.command.fields.size(), 6u);
  EXPECT_EQ(proxy.command.fields[1].text, "proxy_1.example");  // the value keeps its underscore
  EXPECT_EQ(proxy.command.fields[2].number, 8080);
  EXPECT_EQ(proxy.command.fields[3].text, "tls.example");
  EXPECT_EQ(proxy.command.fields[4].number, 0);
}

TEST(ClientCommand, BadValuesAndOptionsAreRefusedWithTheirName) {
  const struct {
    std::vector<std::string> args;
    const char* error_part;
  } cases[] = {
      {{"set-prefs", "--send-stats=maybe"}, "--send-stats takes true or false"},
      {{"set-proxy", "--http-port=4294967296"}, "--http-port takes a whole number"},
      {{"set-proxy", "--http-port=80x"}, "--http-port takes a whole number"},
      {{"set-proxy", "--http-port"}, "--http-port needs a value"},
      {{"set-proxy", "--send-stats=true"}, "unknown option --send-stats for set-proxy"},
      {{"set-prefs", "--http-host=x"}, "unknown option --http-host for set-prefs"},
      {{"set-prefs", "--send-stats=1", "--send_stats=0"}, "given twice"},
      {{"set-prefs", "send-stats"}, "unexpected argument"},
      {{"set-prefs"}, "at least one preference option"},
      {{"set-prefs", "--raw=1001", "--send-stats=1"}, "either --raw or field options"},
      {{"set-prefs", "--raw=100"}, "hexadecimal byte pairs"},
      {{"set-prefs", "--raw=10", "--raw=10"}, "--raw given twice"},
      {{"show", "--verbose"}, "show takes only --json"},
      {{"describe", "a", "b"}, "at most one message type"},
      {{"describe", "--json"}, "at most one message type"},
      {{"frobnicate"}, "unknown command"},
      {{"help", "frobnicate"}, "unknown command"},
  };
  for (const auto& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_FALSE(p.ok) << c.args.back();
    EXPECT_NE(p.error.find(c.error_part), std::string::npos) << p.error;
  }
}

TEST(ClientCommand, RawBytesIncludingNone) {
  Parsed p = Parse({"set-proxy", "--raw", "08 01"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.command.raw_given);
  EXPECT_EQ(p.command.raw, (std::vector<std::uint8_t>{0x08, 0x01}));

  p = Parse({"set-prefs", "--raw="});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.command.raw_given);
  EXPECT_TRUE(p.command.raw.empty());
}

TEST(ClientCommand, AcceptEulaWithAndWithoutPreferences) {
  Parsed p = Parse({"accept-eula"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.kind, CommandKind::kAcceptEula);
  EXPECT_TRUE(p.command.fields.empty());
  EXPECT_FALSE(p.command.raw_given);

  p = Parse({"accept-eula", "--send-stats=false"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.fields.size(), 1u);
}

TEST(ClientCommand, HelpForEveryCommand) {
  Parsed p = Parse({});
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.command.kind, CommandKind::kHelp);
  EXPECT_EQ(p.command.help_topic, CommandKind::kHelp);

  const struct {
    const char* name;
    CommandKind kind;
  } commands[] = {
      {"set-prefs", CommandKind::kSetPrefs},     {"set-proxy", CommandKind::kSetProxy},
      {"accept-eula", CommandKind::kAcceptEula}, {"show", CommandKind::kShow},
      {"describe", CommandKind::kDescribe},      {"crash-test", CommandKind::kCrashTest},
      {"doctor", CommandKind::kDoctor}};
  for (const auto& command : commands) {
    // --help wins over anything else on the line, even a bad option before it.
    p = Parse({command.name, "--json", "--help"});
    const bool takes_json = command.kind == CommandKind::kShow ||
                            command.kind == CommandKind::kCrashTest ||
                            command.kind == CommandKind::kDoctor;
    if (!takes_json) {
      EXPECT_FALSE(p.ok) << command.name;
      p = Parse({command.name, "--help"});
    }
    ASSERT_TRUE(p.ok) << command.name << ": " << p.error;
    EXPECT_EQ(p.command.kind, CommandKind::kHelp);
    EXPECT_EQ(p.command.help_topic, command.kind);
    p = Parse({"help", command.name});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.command.help_topic, command.kind);
    EXPECT_NE(UsageText(command.kind).find(std::string("adminprefs ") + command.name),
              std::string::npos);
  }
  // Option lines come from the type records: value form, declared type, default.
  EXPECT_NE(UsageText(CommandKind::kSetProxy).find("--ssl-port=NUMBER"), std::string::npos);
  EXPECT_NE(UsageText(CommandKind::kSetProxy).find("fixed32, default 443\n"), std::string::npos);
  EXPECT_NE(UsageText(CommandKind::kSetProxy).find("--http-host=TEXT"), std::string::npos);
  EXPECT_NE(UsageText(CommandKind::kSetProxy).find("bool, required (always sent), default false\n"),
            std::string::npos);
  EXPECT_NE(UsageText(CommandKind::kSetPrefs).find("--user-changed-third-party-updates-enabled"),
            std::string::npos);
}

TEST(ClientCommand, DescribeTakesAnOptionalTypeName) {
  Parsed p = Parse({"describe"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.kind, CommandKind::kDescribe);
  EXPECT_EQ(p.command.type_name, "");
  p = Parse({"describe", "ProxySettingsProto"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.type_name, "ProxySettingsProto");
}

TEST(ClientCommand, ShowJson) {
  const Parsed p = Parse({"show", "--json"});
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.command.kind, CommandKind::kShow);
  EXPECT_TRUE(p.command.json);
}

TEST(ClientCommand, CrashTestReportHostAndJson) {
  Parsed p = Parse({"crash-test"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.kind, CommandKind::kCrashTest);
  EXPECT_EQ(p.command.report_host, "");
  EXPECT_FALSE(p.command.json);
  p = Parse({"crash-test", "--json", "--report-host=127.0.0.1"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.command.json);
  EXPECT_EQ(p.command.report_host, "127.0.0.1");
  p = Parse({"doctor", "--json"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.command.kind, CommandKind::kDoctor);
  EXPECT_TRUE(p.command.json);

  for (const auto& args : {std::vector<std::string>{"crash-test", "--report-host", "127.0.0.1"},
                           std::vector<std::string>{"crash-test", "--report-host=127.0.0.1"}}) {
    p = Parse(args);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.command.report_host, "127.0.0.1");
  }

  const struct {
    std::vector<std::string> args;
    const char* error_part;
  } refused[] = {
      {{"crash-test", "--report-host"}, "needs a host name"},
      {{"crash-test", "--report-host="}, "needs a host name"},
      {{"crash-test", "--jsn"}, "only --report-host and --json"},
      {{"crash-test", "--json=yes"}, "only --report-host and --json"},
      {{"doctor", "--report-host=x"}, "doctor takes only --json"},
      {{"crash-test", "127.0.0.1"}, "unexpected argument"},
  };
  for (const auto& c : refused) {
    p = Parse(c.args);
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.find(c.error_part), std::string::npos) << p.error;
  }
}

}  // namespace
}  // namespace ci
