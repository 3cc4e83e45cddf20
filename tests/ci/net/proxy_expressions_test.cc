#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ci/net/proxy_expressions.h"
#include "tests/ci/net/regex_test_support.h"

namespace ci {
namespace {

std::vector<WString> WalkSchemes(const WChar* headers) {
  std::vector<WString> schemes;
  const WChar* next = headers;
  WString scheme[1];
  while (next != nullptr && ProxyAuthenticateRE().Match(next, scheme, 1, &next)) {
    schemes.push_back(scheme[0]);
    if (schemes.size() > 10) break;
  }
  return schemes;
}

TEST(ProxyAuthenticateRE, WalkYieldsEachSchemeWithoutItsParameters) {
  EXPECT_EQ(WalkSchemes(u"HTTP/1.1 407 Proxy Authentication Required\r\n"
                        u"Proxy-Authenticate: NTLM\r\n"
                        u"Proxy-Authenticate: Basic realm=x\r\n"),
            (std::vector<WString>{u"NTLM", u"Basic"}));
}

TEST(ProxyAuthenticateRE, IgnoresCaseOfTheNameAndKeepsCaseOfTheScheme) {
  EXPECT_EQ(WalkSchemes(u"Server: x\nproxy-authenticate:\tNegotiate\n"
                        u"Content-Length: 0\nPROXY-AUTHENTICATE:   digest realm=\"a\"\n"),
            (std::vector<WString>{u"Negotiate", u"digest"}));
  EXPECT_EQ(WalkSchemes(u"Via: proxy\r\nX-Proxy-Authenticate-Note: 12\r\n"),
            std::vector<WString>{});
}

TEST(ProxyAuthenticateRE, SharedAcrossThreads) {
  const WString headers = u"HTTP/1.1 407 x\r\nProxy-Authenticate: NTLM\r\n" + WString(2000, u'x') +
                          u"\r\nProxy-Authenticate: Basic realm=x\r\n";
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        if (WalkSchemes(headers.c_str()) != std::vector<WString>{u"NTLM", u"Basic"}) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(ProxyAuthenticateRE, HasOneGroup) {
  WString groups[2];
  EXPECT_FALSE(ProxyAuthenticateRE().Match(u"Proxy-Authenticate: NTLM", groups, 2, nullptr));
  EXPECT_TRUE(ProxyAuthenticateRE().Match(u"Proxy-Authenticate: NTLM", groups, 1, nullptr));
}

struct PrefCase {
  const AtlRE& (*expression)();
  const char16_t* line;
  const char16_t* captured;  // nullptr: no match
};

void PrintTo(const PrefCase& c, std::ostream* os) { *os << "\"" << Show(c.line) << "\""; }

class PrefExpressionTest : public testing::TestWithParam<PrefCase> {};

TEST_P(PrefExpressionTest, CapturesTheValueOfItsOwnLine) {
  const PrefCase& c = GetParam();
  WString value[1] = {u"unchanged"};
  const bool matched = c.expression().Match(c.line, value, 1, nullptr);
  if (c.captured == nullptr) {
    EXPECT_FALSE(matched);
    EXPECT_EQ(value[0], u"unchanged");
  } else {
    ASSERT_TRUE(matched);
    EXPECT_EQ(Show(value[0]), Show(c.captured));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PrefExpressionTest,
    testing::Values(
        PrefCase{PrefHttpPortRE, u"user_pref(\"network.proxy.http_port\", 3128);", u"3128"},
        PrefCase{PrefHttpPortRE, u"  user_pref ( \"network.proxy.http_port\" , 3128)", u"3128"},
        PrefCase{PrefHttpPortRE, u"\tuser_pref(\"network.proxy.http_port\",8080);", u"8080"},
        PrefCase{PrefHttpPortRE, u"// user_pref(\"network.proxy.http_port\", 3128);", nullptr},
        PrefCase{PrefHttpPortRE, u"user_pref(\"network.proxy.http_port\", \"3128\");", nullptr},
        PrefCase{PrefHttpPortRE, u"USER_PREF(\"NETWORK.PROXY.HTTP_PORT\", 1);", u"1"},
        PrefCase{PrefHttpProxyRE, u"user_pref(\"network.proxy.http\", \"Proxy.Example.COM\");",
                 u"\"Proxy.Example.COM\""},
        PrefCase{PrefHttpProxyRE, u"user_pref(\"network.proxy.http\", 'single');", u"'single'"},
        PrefCase{PrefHttpProxyRE, u"user_pref(\"network.proxy.http_port\", 3128);", nullptr},
        PrefCase{PrefHttpProxyRE, u"user_pref(\"network.proxy.http\", \"unterminated);", nullptr},
        PrefCase{PrefSslProxyRE, u"user_pref(\"network.proxy.ssl\", \"secure.example\");",
                 u"\"secure.example\""},
        PrefCase{PrefSslProxyRE, u"user_pref(\"network.proxy.ssl_port\", 443);", nullptr},
        PrefCase{PrefSslPortRE, u"user_pref(\"network.proxy.ssl_port\", 8443);", u"8443"},
        PrefCase{PrefProxyTypeRE, u"user_pref(\"network.proxy.type\", 1);", u"1"},
        PrefCase{PrefProxyTypeRE, u"user_pref(\"network.proxy.type\", -1);", nullptr},
        PrefCase{PrefProxyTypeRE, u"user_pref(\"network.proxyXtype\", 1);", nullptr},
        PrefCase{PrefAutoConfigUrlRE,
                 u"user_pref(\"network.proxy.autoconfig_url\", \"http://127.0.0.1/Proxy.pac\");",
                 u"\"http://127.0.0.1/Proxy.pac\""}));

TEST(ProxyExpressions, AllCompileWithOneGroup) {
  BuildProxyExpressions();
  for (const AtlRE* re :
       {&ProxyAuthenticateRE(), &PrefProxyTypeRE(), &PrefAutoConfigUrlRE(), &PrefHttpProxyRE(),
        &PrefHttpPortRE(), &PrefSslProxyRE(), &PrefSslPortRE()}) {
    EXPECT_EQ(re->error(), 0);
    EXPECT_EQ(re->group_count(), 1);
    EXPECT_FALSE(re->has_back_references());
  }
}

}  // namespace
}  // namespace ci
