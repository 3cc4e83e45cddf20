// When the server ends: about six seconds (5000 ms idle, 1000 ms pause) after the
// last lock goes, counted again from each later release; also when it never gets
// an object. Every test waits for the server to end by itself.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/admin_prefs/server_test_support.h"

namespace ci {
namespace test {
namespace {

// The server ends this long after the last release (5000 + 1000 ms), give or take.
constexpr long long kEarliestEndMs = 5500;
constexpr long long kLatestEndMs = 9500;

class ServerLifetimeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterServerForTests(), kS_OK); }
  void SetUp() override { ASSERT_TRUE(WaitForNoServer()) << "a server from before is still running"; }
  void TearDown() override {
    EXPECT_TRUE(WaitForNoServer());
    DeleteStoredValues();
  }

  // The one running server process.
  static ServerProcess TheServer() {
    std::vector<ServerProcess> servers = OpenServerProcesses();
    EXPECT_EQ(servers.size(), 1u);
    return servers.empty() ? ServerProcess() : std::move(servers.front());
  }

  // Waits for the end of `server`, which should come about six seconds after `since`.
  static void ExpectIdleExit(const ServerProcess& server, Clock::time_point since) {
    ASSERT_TRUE(server.handle);
    EXPECT_EQ(WaitForExit(server, 20000), 0u);  // S_OK
    const long long elapsed = MillisecondsSince(since);
    EXPECT_GE(elapsed, kEarliestEndMs);
    EXPECT_LE(elapsed, kLatestEndMs);
  }

  ComScope com_;
};

TEST_F(ServerLifetimeTest, EndsAboutSixSecondsAfterTheLastRelease) {
  IAdminPrefsManager* manager = nullptr;
  ASSERT_EQ(CreateServiceObject(&manager), kS_OK);
  EXPECT_EQ(manager->SaveAdminPreferences(Blob(Bytes({0x10, 0x01})).get()), kS_OK);
  const ServerProcess server = TheServer();
  manager->Release();
  ExpectIdleExit(server, Clock::now());
}

TEST_F(ServerLifetimeTest, NewObjectWithinTheIdleWindowRestartsTheCountdownAtTheNextRelease) {
  IAdminPrefsManager* first = nullptr;
  ASSERT_EQ(CreateServiceObject(&first), kS_OK);
  const ServerProcess server = TheServer();
  first->Release();
  ::Sleep(3000);
  ASSERT_TRUE(IsRunning(server));

  IAdminPrefsManager* second = nullptr;
  ASSERT_EQ(CreateServiceObject(&second), kS_OK);
  EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{server.id});  // the same server
  ::Sleep(4000);  // past the end the first release would have brought
  EXPECT_TRUE(IsRunning(server));
  EXPECT_EQ(second->SaveProxySettings(Blob(Bytes({0x08, 0x01})).get()), kS_OK);
  second->Release();
  ExpectIdleExit(server, Clock::now());
}

TEST_F(ServerLifetimeTest, ServerThatNeverGetsAnObjectEndsAfterTheIdleTimeOut) {
  // Started by hand, as after a client that went away before its activation ended.
  WString command_line = Quoted(ServerPath());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  const auto start = Clock::now();
  ASSERT_TRUE(::CreateProcessW(nullptr, AsWin(command_line), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
  ServerProcess server;
  server.id = info.dwProcessId;
  server.handle.reset(info.hProcess);
  UniqueHandle thread(info.hThread);
  ExpectIdleExit(server, start);
}

TEST_F(ServerLifetimeTest, EmbeddingOnTheCommandLineServesNormally) {
  WString command_line = Quoted(ServerPath()) + u" -Embedding";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(::CreateProcessW(nullptr, AsWin(command_line), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
  ServerProcess server;
  server.id = info.dwProcessId;
  server.handle.reset(info.hProcess);
  UniqueHandle thread(info.hThread);
  ::Sleep(2000);  // time to register its class object
  ASSERT_TRUE(IsRunning(server));

  IAdminPrefsManager* manager = nullptr;
  ASSERT_EQ(CreateServiceObject(&manager), kS_OK);
  EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{server.id});  // served by the one started
  EXPECT_EQ(manager->SaveAdminPreferences(Blob(Bytes({0x10, 0x01})).get()), kS_OK);
  EXPECT_EQ(StoredBytes(L"machine_prefs"), Bytes({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  manager->Release();
  ExpectIdleExit(server, Clock::now());
}

TEST_F(ServerLifetimeTest, LockServerHoldsTheServer) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(::CoGetClassObject(CLSID_AdminPrefsManagerCtl, CLSCTX_LOCAL_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            kS_OK);
  const ServerProcess server = TheServer();
  const HRESULT locked = factory->LockServer(TRUE);
  if (locked == kE_NOTIMPL) {
    // Wine's class-object proxy answers LockServer itself without reaching the
    // server; module_win_test covers LockServer inside the serving module.
    factory->Release();
    GTEST_SKIP() << "the class-object proxy does not forward LockServer";
  }
  ASSERT_EQ(locked, kS_OK);
  ::Sleep(8000);  // longer than the idle time-out and the pause
  EXPECT_TRUE(IsRunning(server));
  ASSERT_EQ(factory->LockServer(FALSE), kS_OK);
  factory->Release();
  ExpectIdleExit(server, Clock::now());
}

}  // namespace
}  // namespace test
}  // namespace ci
