// A bare local server of IAdminPrefsManager for the timing comparison: its
// methods do nothing, it has no module layer of its own beyond counting objects,
// and it ends as soon as its last object goes (or 10 s after start without one).
#include <windows.h>

#include "admin_prefs/admin_prefs_idl.h"
#include "bench/com/bare_class.h"
#include "ci/base/hresult.h"
#include "ci/base/win_handles.h"

namespace {

LONG g_objects = 0;
bool g_ever_used = false;
DWORD g_main_thread = 0;

class BareManager final : public IAdminPrefsManager {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return ci::kE_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IAdminPrefsManager)) {
      *object = static_cast<IAdminPrefsManager*>(this);
      AddRef();
      return ci::kS_OK;
    }
    *object = nullptr;
    return ci::kE_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --refs_;
    if (refs == 0) {
      delete this;
      if (InterlockedDecrement(&g_objects) == 0) PostThreadMessageW(g_main_thread, WM_QUIT, 0, 0);
    }
    return refs;
  }
  HRESULT STDMETHODCALLTYPE SaveAdminPreferences(BSTR) override { return ci::kS_OK; }
  HRESULT STDMETHODCALLTYPE SaveProxySettings(BSTR) override { return ci::kS_OK; }
  HRESULT STDMETHODCALLTYPE SaveAcceptingEulaSettings(BSTR) override { return ci::kS_OK; }

 private:
  ULONG refs_ = 0;
};

class BareFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return ci::kE_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return ci::kS_OK;
    }
    *object = nullptr;
    return ci::kE_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static lifetime
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return ci::kE_POINTER;
    *object = nullptr;
    if (outer != nullptr) return ci::kCLASS_E_NOAGGREGATION;
    const ci::ComPtr<BareManager> manager(new BareManager);
    InterlockedIncrement(&g_objects);
    g_ever_used = true;
    return manager->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return ci::kS_OK; }
} g_factory;

void CALLBACK QuitIfNeverUsed(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!g_ever_used) PostQuitMessage(0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  g_main_thread = GetCurrentThreadId();
  const ci::ComApartment apartment;
  if (!apartment.joined()) return -1;
  DWORD cookie = 0;
  HRESULT hr = CoRegisterClassObject(ci::bench::kBareClass, &g_factory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie);
  if (SUCCEEDED(hr)) {
    SetTimer(nullptr, 0, 10000, &QuitIfNeverUsed);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    hr = CoRevokeClassObject(cookie);
  }
  return hr;
}
