// adminprefs http: the report texts and the exit codes.
#include "tools/http_report.h"

#include <gtest/gtest.h>

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
            "\"body_bytes\": 12}\n");
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
