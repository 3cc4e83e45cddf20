// Client processes that activate the server around the moment it decides it is
// idle (5000 ms after the last release) and during the pause that follows: every
// call succeeds, whether the ending server takes the client and goes on serving or
// a new server is started for it. Afterwards every server ends by itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "tests/admin_prefs/server_test_support.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace test {
namespace {

// Each round releases the last object, then starts clients at these offsets from
// the release plus 0, 100 and 200 ms: together they cover 4800 to 6200 ms, from
// just before the idle decision to the end of the pause.
constexpr int kRoundOffsetsMs[] = {4800, 5100, 5400, 5700, 6000};
constexpr int kClientsPerRound = 3;
constexpr int kClientSpacingMs = 100;

UniqueHandle StartClient(int index) {
  const WString client = FullPath(TestDirectory() + u"\\admin_prefs_load_client.exe");
  return StartProcess(Quoted(client) + u" " + FromWin(std::to_wstring(index).c_str()));
}

void SleepUntil(Clock::time_point when) {
  const long long wait = -MillisecondsSince(when);
  if (wait > 0) ::Sleep(static_cast<DWORD>(wait));
}

TEST(IdleBoundaryTest, ActivationsAroundTheIdleDecisionAllSucceed) {
  ASSERT_HR_OK(RegisterServerForTests());
  ASSERT_TRUE(WaitForNoServer()) << "a server from before is still running";
  ComApartment com;
  std::set<DWORD> servers_seen;
  int client_index = 0;
  for (int offset : kRoundOffsetsMs) {
    SCOPED_TRACE("clients from " + std::to_string(offset) + " ms after the release");
    ComPtr<IAdminPrefsManager> manager;
    ASSERT_HR_OK(CreateServiceObject(&manager));
    EXPECT_HR_OK(manager->SaveAdminPreferences(Blob(ByteString({0x10, 0x01})).get()));
    for (DWORD id : ServerProcessIds()) servers_seen.insert(id);
    manager.Reset();
    const Clock::time_point released = Clock::now();

    std::vector<UniqueHandle> clients;
    for (int k = 0; k < kClientsPerRound; ++k) {
      SleepUntil(released + std::chrono::milliseconds(offset + k * kClientSpacingMs));
      clients.push_back(StartClient(client_index++));
      ASSERT_TRUE(clients.back()) << ::GetLastError();
    }
    for (std::size_t k = 0; k < clients.size(); ++k) {
      ASSERT_EQ(::WaitForSingleObject(clients[k].get(), 60000), WAIT_OBJECT_0) << "client " << k;
      DWORD code = STILL_ACTIVE;
      ::GetExitCodeProcess(clients[k].get(), &code);
      EXPECT_EQ(code, 0u) << "client " << k << " ended with 0x" << std::hex << code;
    }
    for (DWORD id : ServerProcessIds()) servers_seen.insert(id);
  }
  EXPECT_TRUE(WaitForNoServer(30000));
  // How the rounds were served: by the same server going on, or by new ones.
  RecordProperty("servers", static_cast<int>(servers_seen.size()));
  std::printf("%d rounds served by %zu server processes\n",
              static_cast<int>(sizeof(kRoundOffsetsMs) / sizeof(kRoundOffsetsMs[0])),
              servers_seen.size());
}

}  // namespace
}  // namespace test
}  // namespace ci
