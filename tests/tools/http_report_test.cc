// adminprefs http: the report texts and the exit codes.
#include "tools/http_report.h"

#include <gtest/gtest.h>

#include "ci/net/http_client.h"
#include "tools/http_redirect.h"

namespace ci {
namespace {

TEST(HttpReportTest, TheJsonReportHasEveryField) {
  HttpReport report;
  report.client = "winhttp";
  report.result = static_cast<HResult>(0x80420028u);
  report.status = 407;
  report.proxy_auth_scheme = 2;
  report.headers = "HTTP/1.1 407 Proxy\r\nProxy-Authenticate: Basic realm=\"x\"\r\n\r\n";
  report.body_bytes = 12;
  EXPECT_EQ(FormatHttpJson(report),
            "{\"client\": \"winhttp\", \"result\": \"0x80420028\", \"status\": 407, "
            "\"proxy_auth_scheme\": 2, \"proxy_auth_scheme_name\": \"Basic\", \"headers\": "
            "[\"HTTP/1.1 407 Proxy\", \"Proxy-Authenticate: Basic realm=\\\"x\\\"\"], "
            "\"body_bytes\": 12, \"url\": \"\", \"redirects\": [], \"problem\": \"\"}\n");
  EXPECT_EQ(FormatHttpSummary(report),
            "client winhttp, status 407, the proxy asks for authentication and no proxy user was "
            "given (0x80420028), proxy scheme Basic\n");
  report.result = static_cast<HResult>(0x80072EFDu);
  report.status = 0;
  report.proxy_auth_scheme = 0;
  EXPECT_EQ(FormatHttpSummary(report),
            "client winhttp, no status, cannot connect to the server (or no network is "
            "available) (0x80072EFD)\n");
  report.result = static_cast<HResult>(0x80001234u);
  EXPECT_NE(FormatHttpSummary(report).find("failed (0x80001234)"), std::string::npos);
}

TEST(HttpReportTest, RedirectsDeadlinesAndProblemsAreReported) {
  HttpReport report;
  report.client = "wininet";
  report.status = 200;
  report.url = "http://127.0.0.3:81/end";
  report.redirects = {{307, "http://127.0.0.2:81/mid"}, {302, "http://127.0.0.3:81/end"}};
  EXPECT_EQ(FormatHttpSummary(report),
            "client wininet, status 200, the exchange succeeded (0x00000000), after 2 redirects: "
            "http://127.0.0.3:81/end\n");
  EXPECT_NE(
      FormatHttpJson(report).find(
          "\"url\": \"http://127.0.0.3:81/end\", \"redirects\": [{\"status\": 307, \"url\": "
          "\"http://127.0.0.2:81/mid\"}, {\"status\": 302, \"url\": \"http://127.0.0.3:81/end\"}]"),
      std::string::npos)
      << FormatHttpJson(report);

  report = HttpReport();
  report.client = "winhttp";
  report.status = 200;
  report.result = kE_HTTP_TIMEOUT;
  report.exchange_timeout_ms = 1500;
  EXPECT_EQ(FormatHttpSummary(report),
            "client winhttp, status 200, the server did not answer in time (0x80072EE2): an "
            "exchange may last 1.5 s (--max-time)\n");
  EXPECT_EQ(HttpExitCode(report, false), 1);

  report.result = kE_HTTP_REDIRECT_FAILED;
  report.status = 302;
  report.problem = "more than 10 redirects (--max-redirs)";
  EXPECT_EQ(FormatHttpSummary(report),
            "client winhttp, status 302, a redirect was not followed (0x80072F7C): more than 10 "
            "redirects (--max-redirs)\n");
  EXPECT_EQ(HttpExitCode(report, true), 1);
  EXPECT_NE(FormatHttpJson(report).find("\"problem\": \"more than 10 redirects (--max-redirs)\""),
            std::string::npos);

  EXPECT_EQ(SecondsText(60000), "60 s");
  EXPECT_EQ(SecondsText(250), "0.25 s");
  EXPECT_EQ(SecondsText(2005), "2.005 s");
}

TEST(HttpReportTest, FailTurnsAStatusOf400OrMoreIntoExitCode22) {
  struct Case {
    HResult result;
    std::uint32_t status;
    bool fail;
    int exit_code;
  };
  const Case cases[] = {
      {kS_OK, 200, false, 0},   {kS_OK, 404, false, 0},
      {kS_OK, 399, true, 0},    {kS_OK, 400, true, 22},
      {kS_OK, 503, true, 22},   {kE_FAIL, 0, true, 1},
      {kE_FAIL, 500, false, 1}, {kE_INSUFFICIENT_BUFFER, 404, true, 1},
  };
  for (const Case& c : cases) {
    HttpReport report;
    report.result = c.result;
    report.status = c.status;
    EXPECT_EQ(HttpExitCode(report, c.fail), c.exit_code) << c.status << " " << c.fail;
    EXPECT_EQ(IsFailStatus(report, c.fail), c.exit_code == 22);
  }
}

}  // namespace
}  // namespace ci
