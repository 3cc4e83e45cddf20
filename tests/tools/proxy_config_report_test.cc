// adminprefs proxy-config: failures shown as failures, "direct" only for a
// direct answer, and what WinINet cannot answer.
#include "tools/proxy_config_report.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

constexpr HResult kDetectionFailed = static_cast<HResult>(0x80072F94u);

ProxyConfigReport Asked(ProxyLookupAnswer answer) {
  ProxyConfigReport report;
  report.client = "winhttp";
  report.url = "http://127.0.0.3/";
  report.answer = answer;
  return report;
}

TEST(ProxyConfigReportTest, ALookupIsAFailureADirectAnswerOrProxies) {
  EXPECT_EQ(ClassifyProxyLookup(kDetectionFailed, false, ""), ProxyLookupAnswer::kFailed);
  EXPECT_EQ(ClassifyProxyLookup(kDetectionFailed, true, "p:1"), ProxyLookupAnswer::kFailed);
  EXPECT_EQ(ClassifyProxyLookup(kS_OK, false, ""), ProxyLookupAnswer::kDirect);
  EXPECT_EQ(ClassifyProxyLookup(kS_OK, true, ""), ProxyLookupAnswer::kDirect);
  EXPECT_EQ(ClassifyProxyLookup(kS_OK, true, "127.0.0.9:8080"), ProxyLookupAnswer::kProxy);
}

TEST(ProxyConfigReportTest, EachAnswerHasItsLineAndExitCode) {
  struct Case {
    ProxyLookupAnswer answer;
    const char* auto_config_url;
    const char* line;
    int exit_code;
  };
  const Case cases[] = {
      {ProxyLookupAnswer::kFailed, "",
       "proxy for http://127.0.0.3/ (automatic detection): failed: automatic proxy detection found "
       "no proxy auto-config script (0x80072F94)\n",
       1},
      {ProxyLookupAnswer::kDirect, "http://127.0.0.2/p.pac",
       "proxy for http://127.0.0.3/ (script http://127.0.0.2/p.pac): direct\n", 0},
      {ProxyLookupAnswer::kProxy, "",
       "proxy for http://127.0.0.3/ (automatic detection): 127.0.0.9:8080 (bypass <local>)\n", 0},
      {ProxyLookupAnswer::kNotAvailable, "",
       "proxy for http://127.0.0.3/ (automatic detection): not answered: the winhttp client has "
       "no automatic proxy lookup (ask --client=winhttp)\n",
       0},
  };
  for (const Case& c : cases) {
    ProxyConfigReport report = Asked(c.answer);
    report.auto_config_url = c.auto_config_url;
    report.lookup_result = c.answer == ProxyLookupAnswer::kFailed ? kDetectionFailed : kS_OK;
    report.chosen_proxy = "127.0.0.9:8080";
    report.chosen_bypass = "<local>";
    const std::string text = FormatProxyConfigText(report);
    EXPECT_EQ(text.substr(text.find("proxy for")), c.line);
    EXPECT_EQ(ProxyConfigExitCode(report), c.exit_code);
  }
}

TEST(ProxyConfigReportTest, AnUnreadableDefaultIsAFailureNotDirect) {
  ProxyConfigReport report;
  report.client = "wininet";
  report.default_result = kE_FAIL;
  const std::string text = FormatProxyConfigText(report);
  EXPECT_EQ(text, "client: wininet\ndefault configuration: cannot be read: failed (0x80004005)\n");
  EXPECT_EQ(ProxyConfigExitCode(report), 1);
  EXPECT_EQ(FormatProxyConfigJson(report),
            "{\"client\": \"wininet\", \"default\": {\"result\": \"0x80004005\"}}\n");

  report.default_result = kS_OK;
  report.access_type = 1;
  report.proxy = "127.0.0.1:3128";
  EXPECT_EQ(FormatProxyConfigText(report),
            "client: wininet\naccess: named proxy\nproxy: 127.0.0.1:3128\nbypass: \n");
  EXPECT_EQ(ProxyConfigExitCode(report), 0);
}

TEST(ProxyConfigReportTest, TheJsonReportNamesTheAnswer) {
  ProxyConfigReport report = Asked(ProxyLookupAnswer::kProxy);
  report.auto_config_url = "http://127.0.0.2/p.pac";
  report.chosen_proxy = "127.0.0.9:8080";
  EXPECT_EQ(FormatProxyConfigJson(report),
            "{\"client\": \"winhttp\", \"default\": {\"result\": \"0x00000000\", \"access\": "
            "\"direct\", \"proxy\": \"\", \"bypass\": \"\"}, \"lookup\": {\"url\": "
            "\"http://127.0.0.3/\", \"method\": \"auto_config_url\", \"auto_config_url\": "
            "\"http://127.0.0.2/p.pac\", \"answer\": \"proxy\", \"result\": \"0x00000000\", "
            "\"proxy\": \"127.0.0.9:8080\", \"bypass\": \"\"}}\n");
  report = Asked(ProxyLookupAnswer::kFailed);
  report.lookup_result = kDetectionFailed;
  const std::string json = FormatProxyConfigJson(report);
  EXPECT_NE(json.find("\"method\": \"auto_detect\", \"answer\": \"failed\", \"result\": "
                      "\"0x80072F94\"}"),
            std::string::npos)
      << json;
}

}  // namespace
}  // namespace ci
