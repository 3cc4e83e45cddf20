// One client of the soak test: calls the running server in a loop for a given
// time, going through the soak calls from an offset of its own and making a new
// service object every 100 calls.
//   admin_prefs_soak_client <index> <milliseconds> <result file>
// The result file gets "<calls> <unexpected answers> <first unexpected HRESULT>
// <index of that call in the round>". Exit code: 0 when every call answered as
// expected.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "ci/base/hresult.h"
#include "tests/admin_prefs/module/soak_calls.h"
#include "tests/admin_prefs/server_test_support.h"

namespace {

HRESULT Call(IAdminPrefsManager* manager, const ci::test::SoakCall& call) {
  ci::UniqueBstr blob;
  if (!call.null_argument) blob = ci::test::Blob(call.blob);
  switch (call.operation) {
    case ci::test::SoakOperation::kPreferences:
      return manager->SaveAdminPreferences(blob.get());
    case ci::test::SoakOperation::kProxy:
      return manager->SaveProxySettings(blob.get());
    case ci::test::SoakOperation::kEula:
      return manager->SaveAcceptingEulaSettings(blob.get());
  }
  return ci::kE_UNEXPECTED;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const int index = static_cast<int>(std::wcstol(argv[1], nullptr, 10));
  const DWORD duration_ms = std::wcstoul(argv[2], nullptr, 10);
  ci::ComApartment com;
  const std::vector<ci::test::SoakCall> round = ci::test::SoakRound(index);

  long long calls = 0;
  long long unexpected = 0;
  HRESULT first_unexpected = ci::kS_OK;
  std::size_t first_unexpected_call = 0;
  ci::ComPtr<IAdminPrefsManager> manager;
  const DWORD start = ::GetTickCount();
  for (std::size_t i = static_cast<std::size_t>(index); ::GetTickCount() - start < duration_ms;
       ++i) {
    HRESULT hr = ci::kS_OK;
    if (manager == nullptr || calls % 100 == 99) {
      manager.Reset();
      hr = ci::test::CreateServiceObject(&manager);
    }
    const ci::test::SoakCall& call = round[i % round.size()];
    if (SUCCEEDED(hr)) hr = Call(manager.Get(), call);
    ++calls;
    if (hr != (call.valid ? ci::kS_OK : ci::kE_INVALIDARG)) {
      if (unexpected++ == 0) {
        first_unexpected = hr;
        first_unexpected_call = i % round.size();
      }
      if (manager == nullptr) break;  // no server to call
    }
  }
  manager.Reset();

  FILE* out = _wfopen(argv[3], L"w");
  if (out == nullptr) return 3;
  std::fprintf(out, "%lld %lld %08lx %zu\n", calls, unexpected,
               static_cast<unsigned long>(first_unexpected), first_unexpected_call);
  std::fclose(out);
  return unexpected == 0 ? 0 : 1;
}
