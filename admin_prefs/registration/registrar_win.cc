#include "admin_prefs/registration/registrar_win.h"

#include <windows.h>
#include <oleauto.h>

#include "admin_prefs/registration/registration.h"
#include "ci/base/win_handles.h"
#include "ci/base/hresult.h"

namespace ci {

// --- Script resources ---

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

// --- The Windows registry ---

namespace {

constexpr REGSAM kChangeAccess = KEY_READ | KEY_WRITE;
// Subtrees are deleted by recursion; the registry itself nests at most 512 deep.
constexpr int kMaxTreeDepth = 512;

HResult FromStatus(LONG status) { return HResultFromWin32(static_cast<std::int32_t>(status)); }

HResult Open(HKEY parent, const WString& path, REGSAM access, UniqueKey* key) {
  return FromStatus(::RegOpenKeyExW(parent, AsWin(path), 0, access, key->put()));
}

// Splits "a\b\c" into "a\b" and "c".
void SplitLeaf(const WString& path, WString* parent, WString* leaf) {
  const std::size_t slash = path.rfind(u'\\');
  *parent = slash == WString::npos ? WString() : path.substr(0, slash);
  *leaf = slash == WString::npos ? path : path.substr(slash + 1);
}

// Deletes `name` below `parent` with everything under it.
HResult DeleteTree(HKEY parent, const WString& name, int depth) {
  if (depth > kMaxTreeDepth) return HResultFromWin32(ERROR_CANTOPEN);
  UniqueKey key;
  const HResult open = Open(parent, name, kChangeAccess | DELETE, &key);
  if (open == HResultFromWin32(ERROR_FILE_NOT_FOUND)) return kS_OK;
  VU_RETURN_IF_FAILED(open);
  // Always take the first sub-key: each deletion shifts the rest down.
  while (true) {
    wchar_t sub_key[256];
    DWORD length = ARRAYSIZE(sub_key);
    const LONG status =
        ::RegEnumKeyExW(key.get(), 0, sub_key, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    VU_RETURN_IF_FAILED(FromStatus(status));
    VU_RETURN_IF_FAILED(DeleteTree(key.get(), FromWin(sub_key, length), depth + 1));
  }
  key.reset();
  return FromStatus(::RegDeleteKeyW(parent, AsWin(name)));
}

}  // namespace

HKEY ScriptRootKey(ScriptRoot root) {
  switch (root) {
    case ScriptRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case ScriptRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case ScriptRoot::kUsers:
      return HKEY_USERS;
    case ScriptRoot::kLocalMachine:
      break;
  }
  return HKEY_LOCAL_MACHINE;
}

HResult WindowsScriptRegistry::CreateKey(ScriptRoot root, const WString& path) {
  UniqueKey key;
  return FromStatus(::RegCreateKeyExW(ScriptRootKey(root), AsWin(path), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, kChangeAccess, nullptr, key.put(),
                                      nullptr));
}

HResult WindowsScriptRegistry::OpenKey(ScriptRoot root, const WString& path) {
  UniqueKey key;
  return Open(ScriptRootKey(root), path, kChangeAccess, &key);
}

HResult WindowsScriptRegistry::DeleteKeyTree(ScriptRoot root, const WString& path) {
  WString parent_path, leaf;
  SplitLeaf(path, &parent_path, &leaf);
  UniqueKey parent;
  const HResult open = Open(ScriptRootKey(root), parent_path, kChangeAccess, &parent);
  if (open == HResultFromWin32(ERROR_FILE_NOT_FOUND)) return kS_OK;
  VU_RETURN_IF_FAILED(open);
  return DeleteTree(parent.get(), leaf, 0);
}

HResult WindowsScriptRegistry::DeleteKey(ScriptRoot root, const WString& path) {
  WString parent_path, leaf;
  SplitLeaf(path, &parent_path, &leaf);
  UniqueKey parent;
  VU_RETURN_IF_FAILED(Open(ScriptRootKey(root), parent_path, kChangeAccess, &parent));
  return FromStatus(::RegDeleteKeyW(parent.get(), AsWin(leaf)));
}

HResult WindowsScriptRegistry::CountSubKeys(ScriptRoot root, const WString& path,
                                            std::uint32_t* count) {
  UniqueKey key;
  VU_RETURN_IF_FAILED(Open(ScriptRootKey(root), path, KEY_READ, &key));
  DWORD sub_keys = 0;
  VU_RETURN_IF_FAILED(
      FromStatus(::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &sub_keys, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)));
  *count = sub_keys;
  return kS_OK;
}

HResult WindowsScriptRegistry::SetValue(ScriptRoot root, const WString& path,
                                        const ScriptValue& value) {
  UniqueKey key;
  VU_RETURN_IF_FAILED(Open(ScriptRootKey(root), path, KEY_SET_VALUE, &key));
  const wchar_t* name = value.name.empty() ? nullptr : AsWin(value.name);
  if (value.type == ScriptValueType::kDword) {
    WString text = value.data;  // VarUI4FromStr takes a writable string
    ULONG number = 0;
    VU_RETURN_IF_FAILED(::VarUI4FromStr(AsWin(text), 0, 0, &number));
    const DWORD data = number;
    return FromStatus(::RegSetValueExW(key.get(), name, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof(data)));
  }
  const DWORD bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(WChar));
  return FromStatus(::RegSetValueExW(key.get(), name, 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(value.data.c_str()), bytes));
}

HResult WindowsScriptRegistry::DeleteValue(ScriptRoot root, const WString& path,
                                           const WString& name) {
  UniqueKey key;
  VU_RETURN_IF_FAILED(Open(ScriptRootKey(root), path, KEY_SET_VALUE, &key));
  const LONG status = ::RegDeleteValueW(key.get(), AsWin(name));
  return status == ERROR_FILE_NOT_FOUND ? kS_FALSE : FromStatus(status);
}

}  // namespace ci
