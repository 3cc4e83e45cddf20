// Twenty client processes call one running server at the same time: every call
// succeeds and every stored value is one of the messages written, intact.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "ci/prefs/stored_value.h"
#include "tests/admin_prefs/module/load_messages.h"
#include "tests/admin_prefs/server_test_support.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace test {
namespace {

constexpr int kClients = 20;

// The stored message must verify and be one of `written`.
void ExpectOneOf(const wchar_t* value_name, const std::vector<std::string>& written) {
  const std::string stored = StoredBytes(value_name);
  std::string message;
  ASSERT_TRUE(
      SplitStoredValue(reinterpret_cast<const uint8_t*>(stored.data()), stored.size(), &message))
      << "checksum of " << stored.size() << "-byte value";
  EXPECT_NE(std::find(written.begin(), written.end(), message), written.end());
}

TEST(ServerLoadTest, TwentyConcurrentClientsAllSucceed) {
  ASSERT_HR_OK(RegisterServerForTests());
  ASSERT_TRUE(WaitForNoServer());
  DeleteStoredValues();
  ComApartment com;
  // Hold an object so that every client finds the server running.
  ComPtr<IAdminPrefsManager> keeper;
  ASSERT_HR_OK(CreateServiceObject(&keeper));

  const WString client = FullPath(TestDirectory() + u"\\admin_prefs_load_client.exe");
  std::vector<UniqueHandle> processes;
  for (int i = 0; i < kClients; ++i) {
    processes.push_back(StartProcess(Quoted(client) + u" " + FromWin(std::to_wstring(i).c_str())));
    ASSERT_TRUE(processes.back());
  }
  for (int i = 0; i < kClients; ++i) {
    ASSERT_EQ(::WaitForSingleObject(processes[i].get(), 120000), WAIT_OBJECT_0) << "client " << i;
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(processes[i].get(), &code);
    EXPECT_EQ(code, 0u) << "client " << i << " ended with 0x" << std::hex << code;
  }
  EXPECT_EQ(ServerProcessIds().size(), 1u);

  ExpectOneOf(L"machine_prefs", LoadPreferenceMessages());
  ExpectOneOf(L"ProxySettings", LoadProxyMessages());
  keeper.Reset();
  EXPECT_TRUE(WaitForNoServer());
  DeleteStoredValues();
}

}  // namespace
}  // namespace test
}  // namespace ci
