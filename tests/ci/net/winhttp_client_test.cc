// The WinHTTP client through copies of its binding.
//
// What the WinHTTP client asks of the library for its settings, seen through
// recording entry points in a copy of the binding: the session time-outs, the
// URL of the proxy lookup and the secure flag, the refusal of redirects, and a
// read that an Abort cuts short (which Wine cannot show: closing a handle does
// not end a blocked read there).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ci/net/winhttp_client_win.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/loopback_http_server_win.h"

namespace ci::test {
namespace {

struct Timeouts {
  int resolve, connect, send, receive;
};
std::vector<Timeouts> g_timeouts;
std::vector<std::wstring> g_lookup_urls;
std::vector<DWORD> g_request_flags;
std::vector<std::pair<DWORD, DWORD>> g_options;  // option, 4-byte value
DWORD g_refused_option = 0;                      // set_option fails for it
WinHttpClient* g_aborted_client = nullptr;

BOOL WINAPI RecordTimeouts(HINTERNET session, int resolve, int connect, int send, int receive) {
  g_timeouts.push_back({resolve, connect, send, receive});
  return WinHttpApi::Process()->set_timeouts(session, resolve, connect, send, receive);
}

BOOL WINAPI RecordLookup(HINTERNET, LPCWSTR url, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO*) {
  g_lookup_urls.push_back(url);
  ::SetLastError(ERROR_WINHTTP_AUTODETECTION_FAILED);
  return FALSE;
}

HINTERNET WINAPI RecordOpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR object,
                                   LPCWSTR version, LPCWSTR referrer, LPCWSTR* types, DWORD flags) {
  g_request_flags.push_back(flags);
  return WinHttpApi::Process()->open_request(connection, verb, object, version, referrer, types,
                                             flags);
}

BOOL WINAPI RecordOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
  DWORD value = 0;
  if (length == sizeof(DWORD)) value = *static_cast<DWORD*>(buffer);
  g_options.emplace_back(option, value);
  if (option == g_refused_option) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return WinHttpApi::Process()->set_option(handle, option, buffer, length);
}

// A read on Windows after another thread's Abort closed the request handle.
BOOL WINAPI ReadCutShortByAbort(HINTERNET, LPVOID, DWORD, LPDWORD read) {
  g_aborted_client->Abort();
  *read = 0;
  ::SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

class WinHttpSettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(WinHttpApi::Process(), nullptr);
    api_ = *WinHttpApi::Process();
    api_.set_timeouts = &RecordTimeouts;
    api_.get_proxy_for_url = &RecordLookup;
    api_.open_request = &RecordOpenRequest;
    api_.set_option = &RecordOption;
    g_timeouts.clear();
    g_lookup_urls.clear();
    g_request_flags.clear();
    g_options.clear();
    g_refused_option = 0;
    ASSERT_TRUE(server_.Start("127.0.0.2"));
    server_.Respond(CannedResponse{200, {}, std::string(3000, 'x')});
  }
  HResult Send(WinHttpClient& client) { return client.Send(u"127.0.0.2", server_.port(), u"/"); }
  bool OptionSet(DWORD option, DWORD value) const {
    for (const auto& [o, v] : g_options) {
      if (o == option && v == value) return true;
    }
    return false;
  }

  WinHttpApi api_;
  LoopbackHttpServer server_;
};

TEST_F(WinHttpSettingsTest, SessionTimeOutsAreFiniteAndWithinTheExchangeDeadline) {
  struct Case {
    const char* name;
    std::uint32_t resolve, connect, send, receive, exchange;
    bool set;
    Timeouts expected;  // each at most this, and no less than 90% of it
  };
  const Case cases[] = {
      {"defaults", 10000, 20000, 10000, 10000, 60000, true, {10000, 20000, 10000, 10000}},
      {"a short exchange cuts them all",
       10000,
       20000,
       10000,
       10000,
       3000,
       true,
       {3000, 3000, 3000, 3000}},
      {"unlimited ones get the exchange", 0, 0, 0, 0, 4000, true, {4000, 4000, 4000, 4000}},
      {"no deadline: as set", 0, 20000, 0, 10000, 0, true, {0, 20000, 0, 10000}},
      {"nothing to set", 0, 0, 0, 0, 0, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_timeouts.clear();
    WinHttpClient client(&api_);
    client.resolve_timeout_ms = c.resolve;
    client.connect_timeout_ms = c.connect;
    client.send_timeout_ms = c.send;
    client.receive_timeout_ms = c.receive;
    client.exchange_timeout_ms = c.exchange;
    ASSERT_HR_OK(Send(client));
    ASSERT_EQ(g_timeouts.size(), c.set ? 1u : 0u);
    if (!c.set) continue;
    const Timeouts& got = g_timeouts[0];
    for (auto [value, limit] : {std::pair<int, int>{got.resolve, c.expected.resolve},
                                {got.connect, c.expected.connect},
                                {got.send, c.expected.send},
                                {got.receive, c.expected.receive}}) {
      EXPECT_LE(value, limit);
      EXPECT_GE(value, limit - limit / 10);
    }
  }
}

TEST_F(WinHttpSettingsTest, TheProxyLookupUrlAndTheSecureFlagFollowTransportSecurity) {
  struct Case {
    TransportSecurity security;
    std::uint16_t port;
    const wchar_t* url;
    bool secure;
  };
  const Case cases[] = {
      {TransportSecurity::kByPort, 443, L"https://127.0.0.3:443/p", true},
      {TransportSecurity::kByPort, 8443, L"http://127.0.0.3:8443/p", false},
      {TransportSecurity::kTls, 8443, L"https://127.0.0.3:8443/p", true},
      {TransportSecurity::kPlain, 443, L"http://127.0.0.3:443/p", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    g_lookup_urls.clear();
    g_request_flags.clear();
    WinHttpClient client(&api_);
    client.proxy_mode = kProxyModeAutoConfig;
    client.auto_config_url = u"http://127.0.0.2:1/proxy.pac";
    client.transport_security = c.security;
    client.connect_timeout_ms = 2000;
    client.Send(u"127.0.0.3", c.port, u"/p");  // nobody listens there
    ASSERT_EQ(g_lookup_urls.size(), 1u);
    EXPECT_EQ(g_lookup_urls[0], c.url);
    ASSERT_EQ(g_request_flags.size(), 1u);
    EXPECT_EQ((g_request_flags[0] & WINHTTP_FLAG_SECURE) != 0, c.secure);
  }
}

TEST_F(WinHttpSettingsTest, WithoutRedirectsTheRequestRefusesThemBeforeItIsSent) {
  {
    WinHttpClient client(&api_);
    ASSERT_HR_OK(Send(client));
    EXPECT_FALSE(OptionSet(WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS));
  }
  WinHttpClient client(&api_);
  client.follow_redirects = false;
  ASSERT_HR_OK(Send(client));
  EXPECT_TRUE(OptionSet(WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS));
  EXPECT_EQ(server_.Requests().size(), 2u);

  // A library that will not refuse them gets no request to pass on.
  g_refused_option = WINHTTP_OPTION_DISABLE_FEATURE;
  EXPECT_HR_EQ(Send(client), HResultFromWin32(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(client.GetStatusCode(), 0u);
  EXPECT_EQ(server_.Requests().size(), 2u);
}

TEST_F(WinHttpSettingsTest, AReadThatAnAbortCutsShortEndsWithEAbort) {
  api_.read_data = &ReadCutShortByAbort;
  WinHttpClient client(&api_);
  g_aborted_client = &client;
  ASSERT_HR_OK(Send(client));
  std::vector<std::uint8_t> bytes;
  EXPECT_HR_EQ(client.ReadResponseBodyToBuffer(&bytes, 0), kE_ABORT);
  g_aborted_client = nullptr;
}

// A WinHTTP entry point that faults makes the call fail; the client, and the
// process, go on.

__attribute__((noinline)) void Fault() {
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

HINTERNET WINAPI FaultingOpen(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD) {
  Fault();
  return nullptr;
}

BOOL WINAPI FaultingReceive(HINTERNET, LPVOID) {
  Fault();
  return TRUE;
}

BOOL WINAPI FaultingRead(HINTERNET, LPVOID, DWORD, LPDWORD) {
  Fault();
  return TRUE;
}

class WinHttpFaultTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(WinHttpApi::Process(), nullptr);
    api_ = *WinHttpApi::Process();
    ASSERT_TRUE(server_.Start("127.0.0.2"));
    server_.Respond(CannedResponse{200, {}, std::string(3000, 'x')});
  }
  HResult Send(WinHttpClient& client) { return client.Send(u"127.0.0.2", server_.port(), u"/"); }

  WinHttpApi api_;
  LoopbackHttpServer server_;
};

TEST_F(WinHttpFaultTest, AFaultInTheFirstCallFailsTheSend) {
  api_.open = &FaultingOpen;
  WinHttpClient client(&api_);
  EXPECT_HR_EQ(Send(client), HResultFromWin32(ERROR_NOACCESS));
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(WinHttpFaultTest, AFaultWithHandlesOpenFailsTheSendAndTheHandlesAreClosedAfter) {
  api_.receive_response = &FaultingReceive;
  {
    WinHttpClient client(&api_);
    client.retries = 1;
    client.retry_delay_ms = 0;
    EXPECT_HR_EQ(Send(client), HResultFromWin32(ERROR_NOACCESS));
    EXPECT_EQ(client.GetStatusCode(), 0u);
  }  // destruction closes what the faulted attempt left open
  EXPECT_EQ(server_.Requests().size(), 2u);
}

TEST_F(WinHttpFaultTest, AFaultWhileReadingTheBodyFailsTheReadAndTheClientGoesOn) {
  api_.read_data = &FaultingRead;
  WinHttpClient client(&api_);
  ASSERT_HR_OK(Send(client));
  std::vector<std::uint8_t> bytes;
  // The faulted read fails the body, as the library's own failures do.
  EXPECT_HR_EQ(client.ReadResponseBodyToBuffer(&bytes, 0), HResultFromWin32(ERROR_NOACCESS));
  EXPECT_TRUE(bytes.empty());
  // The same client sends again through the table it was given.
  ASSERT_HR_OK(Send(client));
  EXPECT_EQ(client.GetStatusCode(), 200u);
  // And a client over the process-wide binding reads the whole body.
  WinHttpClient healthy(WinHttpApi::Process());
  ASSERT_HR_OK(Send(healthy));
  ASSERT_HR_OK(healthy.ReadResponseBodyToBuffer(&bytes, 0));
  EXPECT_EQ(bytes.size(), 3000u);
}

TEST(WinHttpBindingTest, TheProcessBindingHasEveryEntryPointAndIsShared) {
  const WinHttpApi* api = WinHttpApi::Process();
  ASSERT_NE(api, nullptr);
  EXPECT_EQ(api, WinHttpApi::Process());
  // Every slot of the table is filled.
  static_assert(sizeof(WinHttpApi) == WinHttpApi::kEntryPointCount * sizeof(void*),
                "one pointer per entry point");
  void* slots[WinHttpApi::kEntryPointCount];
  std::memcpy(slots, api, sizeof(slots));
  for (void* slot : slots) EXPECT_NE(slot, nullptr);
}

}  // namespace
}  // namespace ci::test
