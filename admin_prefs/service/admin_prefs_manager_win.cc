#include "admin_prefs/service/admin_prefs_manager.h"

#include <new>

#include "admin_prefs/module/module.h"
#include "admin_prefs/service/eula_acceptance.h"
#include "ci/base/win_handles.h"
#include "ci/prefs/machine_preferences.h"
#include "ci/prefs/proxy_settings_store.h"
#include "net/proto/decode_blob_win.h"

namespace ci {

bool TokenIsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  UniqueSid administrators;
  if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, administrators.put())) {
    return false;
  }
  BOOL member = FALSE;
  const BOOL checked = CheckTokenMembership(nullptr, administrators.get(), &member);
  return checked && member;
}

HRESULT AdminPrefsManager::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  return CreateInstance(outer, iid, object, &TokenIsAdministrator);
}

HRESULT AdminPrefsManager::CreateInstance(IUnknown* outer, REFIID iid, void** object,
                                          AdministratorCheck is_administrator) {
  if (object == nullptr) return kE_POINTER;
  *object = nullptr;
  auto* instance = new (std::nothrow) AdminPrefsManager(outer);
  if (instance == nullptr) return kE_OUTOFMEMORY;
  // Held for the check; the last release destroys the instance (and its lock).
  const ComPtr<IUnknown> hold(&instance->inner_);
  return is_administrator() ? hold->QueryInterface(iid, object) : kE_NOT_ADMINISTRATOR;
}

AdminPrefsManager::AdminPrefsManager(IUnknown* outer)
    : inner_(this), controlling_(outer != nullptr ? outer : &inner_) {
  if (AdminPrefsModule* module = AdminPrefsModule::Instance()) module->Lock();
}

AdminPrefsManager::~AdminPrefsManager() {
  if (AdminPrefsModule* module = AdminPrefsModule::Instance()) module->Unlock();
}

HRESULT AdminPrefsManager::Inner::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return kE_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *object = static_cast<IUnknown*>(this);
  } else if (IsEqualIID(iid, IID_IAdminPrefsManager)) {
    *object = static_cast<IAdminPrefsManager*>(owner_);
  } else {
    *object = nullptr;
    return kE_NOINTERFACE;
  }
  // Through the returned interface: an aggregate's outer object counts its own.
  static_cast<IUnknown*>(*object)->AddRef();
  return kS_OK;
}

ULONG AdminPrefsManager::Inner::AddRef() { return ++refs_; }

ULONG AdminPrefsManager::Inner::Release() {
  const ULONG refs = --refs_;
  if (refs == 0) delete owner_;
  return refs;
}

HRESULT AdminPrefsManager::QueryInterface(REFIID iid, void** object) {
  return controlling_->QueryInterface(iid, object);
}

ULONG AdminPrefsManager::AddRef() { return controlling_->AddRef(); }

ULONG AdminPrefsManager::Release() { return controlling_->Release(); }

HRESULT AdminPrefsManager::SaveAdminPreferences(BSTR serialized_prefs) {
  MachinePreferences preferences;
  if (!::DecodeBlob(serialized_prefs, &preferences)) return kE_INVALIDARG;
  preferences.SaveMachinePreferences();  // always S_OK: the store handles registry errors itself
  return kS_OK;
}

HRESULT AdminPrefsManager::SaveProxySettings(BSTR serialized_proxy_settings) {
  ProxySettings settings;
  if (!::DecodeBlob(serialized_proxy_settings, &settings)) return kE_INVALIDARG;
  settings.WriteProxySettings();  // always S_OK: the store handles registry errors itself
  return kS_OK;
}

HRESULT AdminPrefsManager::SaveAcceptingEulaSettings(BSTR serialized_prefs) {
  return AcceptEula(serialized_prefs, this);
}

}  // namespace ci
