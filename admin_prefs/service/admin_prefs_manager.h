// ci::AdminPrefsManager, the service object: decodes a serialised message handed
// over in a BSTR and has the matching preference store write it under the
// machine root. Created by the class object, plain or as the inner object of an
// aggregate; each live instance holds one lock on the server module.
#pragma once

#include <windows.h>

#include "admin_prefs/admin_prefs_idl.h"

namespace ci {

// HRESULT of a refused creation: the server's token is not an administrator's.
constexpr HRESULT kE_NOT_ADMINISTRATOR = static_cast<HRESULT>(0x8042003Du);

// Whether the calling thread's token is a member of the built-in Administrators
// group; false also when the membership cannot be determined.
using AdministratorCheck = bool (*)();
bool TokenIsAdministrator();

class AdminPrefsManager final : public IAdminPrefsManager {
 public:
  // The instance creator of the class table.
  static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object);
  // Same, with the administrator check supplied by the caller.
  static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object,
                                AdministratorCheck is_administrator);

  // IUnknown: delegates to the controlling unknown (the outer object when aggregated).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IAdminPrefsManager
  HRESULT STDMETHODCALLTYPE SaveAdminPreferences(BSTR serialized_prefs) override;
  HRESULT STDMETHODCALLTYPE SaveProxySettings(BSTR serialized_proxy_settings) override;
  HRESULT STDMETHODCALLTYPE SaveAcceptingEulaSettings(BSTR serialized_prefs) override;

 private:
  // The object's own, non-delegating IUnknown, which owns its lifetime.
  class Inner final : public IUnknown {
   public:
    explicit Inner(AdminPrefsManager* owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

   private:
    AdminPrefsManager* owner_;
    ULONG refs_ = 0;  // plain: every call arrives on the server's one apartment thread
  };

  explicit AdminPrefsManager(IUnknown* outer);
  ~AdminPrefsManager();

  Inner inner_;
  IUnknown* controlling_;
};

}  // namespace ci
