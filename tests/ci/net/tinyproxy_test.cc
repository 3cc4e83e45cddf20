// Both clients through a real proxy with Basic authentication (tinyproxy on
// 127.0.0.1, started around this program by with_tinyproxy.sh), to an origin
// server of the test on 127.0.0.2.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ci/net/http_client.h"
#include "tests/ci/net/test_clients_win.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/loopback_http_server_win.h"

namespace ci::test {
namespace {

WString Environment(const wchar_t* name) {
  wchar_t value[256];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 256);
  return length > 0 && length < 256 ? FromWin(value, length) : WString();
}

class TinyproxyTest : public testing::TestWithParam<ClientKind> {
 protected:
  void SetUp() override {
    const WString port = Environment(L"VU_TINYPROXY_PORT");
    ASSERT_FALSE(port.empty()) << "run through with_tinyproxy.sh";
    ASSERT_TRUE(origin_.Start("127.0.0.2"));
    origin_.Respond(CannedResponse{200, {"X-Origin: yes"}, "from the origin"});
    client_ = MakeClient(GetParam());
    client_->proxy_mode = kProxyModeNamed;
    client_->proxy_server = u"127.0.0.1:" + port;
  }
  HResult SendWithProxyAuth() {
    return client_->SendWithProxyAuth(u"127.0.0.2", origin_.port(), u"/through?proxy=1");
  }

  LoopbackHttpServer origin_;
  std::unique_ptr<HttpClient> client_;
};

TEST_P(TinyproxyTest, WithoutAUserTheProxyDemandIsReported) {
  EXPECT_HR_EQ(SendWithProxyAuth(), kE_HTTP_PROXY_USER_MISSING);
  EXPECT_EQ(client_->GetStatusCode(), 407u);
  EXPECT_TRUE(origin_.Requests().empty());
}

TEST_P(TinyproxyTest, WithUserAndPasswordTheOriginAnswers) {
  client_->proxy_user = Environment(L"VU_TINYPROXY_USER");
  client_->proxy_password = Environment(L"VU_TINYPROXY_PASSWORD");
  ASSERT_HR_OK(SendWithProxyAuth());
  EXPECT_EQ(client_->GetStatusCode(), 200u);
  // WinHTTP sends credentials only for a known scheme, so it met the 407 and
  // took the scheme the proxy offered; WinINet sends them on the first request.
  EXPECT_EQ(client_->proxy_auth_scheme,
            GetParam() == ClientKind::kWinHttp ? static_cast<std::uint32_t>(kProxyAuthBasic) : 0u);
  WString body;
  ASSERT_HR_OK(client_->ReadResponseBody(&body, 0));
  EXPECT_EQ(body, u"from the origin");
  WString origin_header;
  EXPECT_HR_OK(client_->GetResponseHeader(u"X-Origin", &origin_header));
  EXPECT_EQ(origin_header, u"yes");
  const auto requests = origin_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_NE(requests[0].target.find("/through?proxy=1"), std::string::npos);
  EXPECT_TRUE(requests[0].Header("Proxy-Authorization").empty());  // kept by the proxy
}

TEST_P(TinyproxyTest, AWrongPasswordEndsWithTheProxyRefusal) {
  client_->proxy_user = Environment(L"VU_TINYPROXY_USER");
  client_->proxy_password = WString(u"not the password");
  // The exchange itself succeeded; the status tells the refusal (tinyproxy
  // answers credentials it does not accept with 401).
  EXPECT_HR_OK(SendWithProxyAuth());
  EXPECT_EQ(client_->GetStatusCode(), 401u);
  EXPECT_TRUE(origin_.Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, TinyproxyTest,
                         testing::Values(ClientKind::kWinHttp, ClientKind::kWinInet),
                         [](const testing::TestParamInfo<ClientKind>& info) {
                           return KindName(info.param);
                         });

}  // namespace
}  // namespace ci::test
