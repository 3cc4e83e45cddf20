#include "admin_prefs/registration/registration.h"

#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "admin_prefs/registration/access_permission_win.h"
#include "admin_prefs/registration/registrar_win.h"
#include "admin_prefs/resource_ids.h"
#include "ci/base/paths.h"
#include "ci/base/win_handles.h"
#include "ci/prefs/reg_key.h"

namespace ci {
namespace {

constexpr char16_t kAccessPermissionValue[] = u"AccessPermission";

// Built on first use and kept to process exit.
const ReplacementList& ClassReplacementsOfThisModule() {
  static const ReplacementList list = ClassReplacements(GetResourceModulePath());
  return list;
}

// The executable's path; 0x8007007A when it fills the whole buffer.
HResult GetExecutablePath(WString* path) {
  wchar_t buffer[kMaxModulePathLength + 1] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, ARRAYSIZE(buffer));
  if (length == 0) return HResultFromLastError();
  if (length >= ARRAYSIZE(buffer)) return kE_INSUFFICIENT_BUFFER;
  *path = FromWin(buffer, length);
  return kS_OK;
}

HResult RunScript(int id, ScriptAction action, const ReplacementList& map) {
  WString path;
  VU_RETURN_IF_FAILED(GetExecutablePath(&path));
  return RunScriptResource(ScriptRegistrar(map, path), path, id, action);
}

// From the executable's TYPELIB resource, or else from the ".tlb" file beside it.
HResult LoadServerTypeLib(ComPtr<ITypeLib>* lib, WString* loaded_from) {
  WString path;
  VU_RETURN_IF_FAILED(GetExecutablePath(&path));
  if (Succeeded(::LoadTypeLib(AsWin(path), lib->ReleaseAndGetAddressOf()))) {
    *loaded_from = path;
    return kS_OK;
  }
  WString tlb_path;
  VU_RETURN_IF_FAILED(TypeLibraryFilePath(path, &tlb_path));
  VU_RETURN_IF_FAILED(::LoadTypeLib(AsWin(tlb_path), lib->ReleaseAndGetAddressOf()));
  *loaded_from = tlb_path;
  return kS_OK;
}

HResult RegisterServerTypeLib() {
  ComPtr<ITypeLib> lib;
  WString path;
  VU_RETURN_IF_FAILED(LoadServerTypeLib(&lib, &path));
  UniqueBstr help_file;
  if (FAILED(lib->GetDocumentation(-1, nullptr, nullptr, nullptr, help_file.put()))) {
    return ::RegisterTypeLib(lib.Get(), AsWin(path), nullptr);
  }
  WString help_dir = HelpDirectoryOf(FromWin(help_file.get()));
  return ::RegisterTypeLib(lib.Get(), AsWin(path), AsWin(help_dir));
}

HResult UnregisterServerTypeLib() {
  ComPtr<ITypeLib> lib;
  WString path;
  VU_RETURN_IF_FAILED(LoadServerTypeLib(&lib, &path));
  TLIBATTR* attributes = nullptr;
  VU_RETURN_IF_FAILED(lib->GetLibAttr(&attributes));
  const TLIBATTR copy = *attributes;
  lib->ReleaseTLibAttr(attributes);
  return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                             copy.syskind);
}

}  // namespace

HResult RegisterAppId() {
  VU_RETURN_IF_FAILED(RunScript(kAppIdScriptId, ScriptAction::kRegister, AppIdReplacements()));
  RegKey app_ids;
  VU_RETURN_IF_FAILED(app_ids.Open(HKEY_CLASSES_ROOT, u"AppID", KEY_WRITE));
  RegKey app_id;
  VU_RETURN_IF_FAILED(app_id.Create(app_ids.handle(), kAdminPrefsAppId));
  std::vector<BYTE> permission;
  VU_RETURN_IF_FAILED(DescriptorBytesFromSddl(kAccessPermissionSddl, &permission));
  return app_id.SetBinaryValue(kAccessPermissionValue, permission.data(),
                               static_cast<DWORD>(permission.size()));
}

HResult RegisterServer() {
  VU_RETURN_IF_FAILED(
      RunScript(kClassScriptId, ScriptAction::kRegister, ClassReplacementsOfThisModule()));
  return RegisterServerTypeLib();
}

HResult UnregisterServer() {
  VU_RETURN_IF_FAILED(
      RunScript(kClassScriptId, ScriptAction::kUnregister, ClassReplacementsOfThisModule()));
  return UnregisterServerTypeLib();
}

HResult UnregisterAppId() {
  RegKey app_ids;
  VU_RETURN_IF_FAILED(app_ids.Open(HKEY_CLASSES_ROOT, u"AppID", KEY_WRITE));
  RegKey app_id;
  VU_RETURN_IF_FAILED(app_id.Open(app_ids.handle(), kAdminPrefsAppId, KEY_WRITE));
  app_id.DeleteValue(kAccessPermissionValue);  // may already be gone
  app_id.Close();
  return RunScript(kAppIdScriptId, ScriptAction::kUnregister, AppIdReplacements());
}

}  // namespace ci
