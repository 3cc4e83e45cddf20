// One of the concurrent clients of the load test: calls the running server a few
// times with messages picked by its index. Exit code: S_OK, or the first failure.
#include <windows.h>

#include <cwchar>

#include "tests/admin_prefs/module/load_messages.h"
#include "tests/admin_prefs/server_test_support.h"

int wmain(int argc, wchar_t** argv) {
  const int index = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 0;
  ci::ComApartment com;
  ci::ComPtr<IAdminPrefsManager> manager;
  HRESULT hr = ci::test::CreateServiceObject(&manager);
  if (FAILED(hr)) return hr;
  const auto& prefs = ci::test::LoadPreferenceMessages();
  const auto& proxies = ci::test::LoadProxyMessages();
  for (int call = 0; call < ci::test::kLoadCallsPerClient && SUCCEEDED(hr); ++call) {
    const int pick = index + call;
    if (call % 2 == 0) {
      hr = manager->SaveAdminPreferences(ci::test::Blob(prefs[pick % prefs.size()]).get());
    } else {
      hr = manager->SaveProxySettings(ci::test::Blob(proxies[pick % proxies.size()]).get());
    }
  }
  manager.Reset();
  return hr;
}
