#include "admin_prefs/registration/registrar_win.h"

#include <windows.h>

#include "admin_prefs/registration/registration_text.h"
#include "admin_prefs/registration/script_registry_win.h"
#include "ci/base/hresult.h"
#include "ci/base/win_handles.h"

namespace ci {
HResult LoadScriptResource(const WString& module_path, int id, WString* text) {
  UniqueLibrary module(::LoadLibraryExW(AsWin(module_path), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return HResultFromFailedCall();
  HRSRC resource = ::FindResourceW(module.get(), MAKEINTRESOURCEW(id), AsWin(kScriptResourceType));
  if (resource == nullptr) return HResultFromFailedCall();
  const DWORD size = ::SizeofResource(module.get(), resource);
  HGLOBAL loaded = ::LoadResource(module.get(), resource);
  if (loaded == nullptr) return HResultFromFailedCall();
  const char* bytes = static_cast<const char*>(::LockResource(loaded));
  if (bytes == nullptr) return HResultFromFailedCall();

  int length = 0;
  while (static_cast<DWORD>(length) < size && bytes[length] != 0) ++length;
  text->clear();
  if (length == 0) return kS_OK;
  const int chars = ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, length, nullptr, 0);
  if (chars <= 0) return HResultFromFailedCall();
  text->resize(static_cast<std::size_t>(chars));
  if (::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, length, AsWin(*text), chars) != chars) {
    return HResultFromFailedCall();
  }
  return kS_OK;
}

HResult RunScriptResource(const Registrar& registrar, const WString& module_path, int id,
                          ScriptAction action) {
  WString text;
  VU_RETURN_IF_FAILED(LoadScriptResource(module_path, id, &text));
  WindowsScriptRegistry registry;
  return registrar.RunScript(text, action, registry);
}

}  // namespace ci
