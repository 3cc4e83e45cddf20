// A WinHTTP entry point that faults makes the call fail; the client, and the
// process, go on.
#include <gtest/gtest.h>

#include <cstring>

#include "ci/net/winhttp_client_win.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/loopback_http_server_win.h"

namespace ci::test {
namespace {

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
