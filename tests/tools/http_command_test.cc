// adminprefs http / proxy-config: command lines and the report texts.
#include "tools/http_command.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

TEST(HttpCommandTest, ParsesEveryOption) {
  HttpCommand command;
  std::string error;
  ASSERT_TRUE(ParseHttpCommand(
      {"--client=wininet", "--proxy", "127.0.0.1:3128", "--proxy-user=u", "--proxy-password=p w",
       "--retries=2", "--retry-delay", "50", "--retry-without-proxy", "--post=body.bin",
       "--header=X-A: 1", "--header", "X-B: 2", "--max-bytes=1500", "--output=out.bin", "-i",
       "--json", "http://127.0.0.2:8080/a?b=c"},
      &command, &error))
      << error;
  EXPECT_EQ(command.client, HttpClientChoice::kWinInet);
  EXPECT_EQ(command.proxy, "127.0.0.1:3128");
  EXPECT_EQ(command.proxy_user, "u");
  EXPECT_EQ(command.proxy_password, "p w");
  EXPECT_EQ(command.retries, 2);
  EXPECT_EQ(command.retry_delay_ms, 50u);
  EXPECT_TRUE(command.retry_without_proxy);
  EXPECT_EQ(command.post_file, "body.bin");
  EXPECT_EQ(command.headers, (std::vector<std::string>{"X-A: 1", "X-B: 2"}));
  EXPECT_EQ(JoinHeaderLines(command.headers), "X-A: 1\r\nX-B: 2");
  EXPECT_EQ(command.max_bytes, 1500u);
  EXPECT_EQ(command.output_file, "out.bin");
  EXPECT_TRUE(command.show_headers);
  EXPECT_TRUE(command.json);
  EXPECT_EQ(command.url, "http://127.0.0.2:8080/a?b=c");
}

TEST(HttpCommandTest, DefaultsAndHelp) {
  HttpCommand command;
  std::string error;
  ASSERT_TRUE(ParseHttpCommand({"http://127.0.0.2/"}, &command, &error));
  EXPECT_EQ(command.client, HttpClientChoice::kFactory);
  EXPECT_EQ(command.retries, 0);
  EXPECT_EQ(command.retry_delay_ms, 1000u);
  EXPECT_EQ(command.max_bytes, 0u);
  EXPECT_FALSE(command.json);
  ASSERT_TRUE(ParseHttpCommand({"--retries=-1", "http://127.0.0.2/"}, &command, &error));
  EXPECT_EQ(command.retries, -1);
  ASSERT_TRUE(ParseHttpCommand({"--help"}, &command, &error));
  EXPECT_TRUE(command.help);
  EXPECT_NE(HttpUsageText().find("--retry-without-proxy"), std::string::npos);
}

TEST(HttpCommandTest, RefusesCommandLinesThatMakeNoSense) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--client=curl", "http://127.0.0.2/"},
      {"--retries=-2", "http://127.0.0.2/"},
      {"--retries=x", "http://127.0.0.2/"},
      {"--max-bytes=4294967296", "http://127.0.0.2/"},
      {"--header=no colon", "http://127.0.0.2/"},
      {"--proxy"},
      {"--proxy-password=p", "http://127.0.0.2/"},
      {"--proxy=127.0.0.1:1", "--auto-config-url=http://127.0.0.2/p.pac", "http://127.0.0.2/"},
      {"--frobnicate", "http://127.0.0.2/"},
      {"http://127.0.0.2/", "http://127.0.0.3/"},
  };
  for (const auto& args : bad) {
    HttpCommand command;
    std::string error;
    EXPECT_FALSE(ParseHttpCommand(args, &command, &error)) << testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
}

TEST(HttpCommandTest, ProxyConfigTakesAnOptionalUrlAndScript) {
  ProxyConfigCommand command;
  std::string error;
  ASSERT_TRUE(ParseProxyConfigCommand({}, &command, &error));
  EXPECT_TRUE(command.url.empty());
  ASSERT_TRUE(ParseProxyConfigCommand(
      {"--auto-config-url=http://127.0.0.2/p.pac", "http://127.0.0.3/"}, &command, &error));
  EXPECT_EQ(command.url, "http://127.0.0.3/");
  EXPECT_EQ(command.auto_config_url, "http://127.0.0.2/p.pac");
  EXPECT_FALSE(ParseProxyConfigCommand({"a", "b"}, &command, &error));
  EXPECT_FALSE(ParseProxyConfigCommand({"--bogus"}, &command, &error));
}

TEST(HttpCommandTest, TheJsonReportHasEveryField) {
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

}  // namespace
}  // namespace ci
