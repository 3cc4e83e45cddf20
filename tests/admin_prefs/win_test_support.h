// Running programs and reading the registry in the Windows tests.
#pragma once

#include <windows.h>

#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/paths.h"
#include "ci/base/wide_string.h"
#include "ci/base/win_handles.h"

namespace ci {
namespace test {

// Runs `command_line` and waits for it; the whole exit code as an HRESULT, or
// `fallback` when the program could not be run or did not end within a minute.
inline HResult RunAndWait(const WString& command_line, HResult fallback = kE_FAIL) {
  WString mutable_line = command_line;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, AsWin(mutable_line), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return fallback;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return fallback;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) return fallback;
  return static_cast<HResult>(code);
}

inline WString Quoted(const WString& path) { return u'"' + path + u'"'; }

inline WString FullPath(const WString& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = ::GetFullPathNameW(AsWin(path), MAX_PATH, buffer, nullptr);
  return (n == 0 || n >= MAX_PATH) ? path : FromWin(buffer, n);
}

inline bool KeyExists(HKEY root, const WString& path) {
  UniqueKey key;
  return ::RegOpenKeyExW(root, AsWin(path), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The REG_SZ value, or "<missing>" / "<type N>" so that a failed comparison says why.
inline WString ReadString(HKEY root, const WString& path, const WString& name) {
  UniqueKey key;
  if (::RegOpenKeyExW(root, AsWin(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return u"<no key>";
  }
  DWORD type = 0;
  DWORD bytes = 0;
  const wchar_t* value_name = name.empty() ? nullptr : AsWin(name);
  if (::RegQueryValueExW(key.get(), value_name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) {
    return u"<missing>";
  }
  if (type != REG_SZ) return u"<type " + WString(1, static_cast<WChar>(u'0' + type)) + u">";
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, 0);
  if (::RegQueryValueExW(key.get(), value_name, nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS) {
    return u"<unreadable>";
  }
  return FromWin(data.data());
}

// The value's bytes, exactly as long as the value read: a value that another
// process rewrites between the size and the data query is read again.
inline bool ReadBytes(HKEY root, const WString& path, const WString& name, DWORD* type,
                      std::vector<BYTE>* bytes) {
  UniqueKey key;
  if (::RegOpenKeyExW(root, AsWin(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  for (;;) {
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), AsWin(name), nullptr, type, nullptr, &size) != ERROR_SUCCESS) {
      return false;
    }
    bytes->resize(size);
    const LONG read = ::RegQueryValueExW(key.get(), AsWin(name), nullptr, type, bytes->data(), &size);
    if (read == ERROR_MORE_DATA) continue;  // grew meanwhile
    if (read != ERROR_SUCCESS) return false;
    bytes->resize(size);  // may have shrunk meanwhile
    return true;
  }
}

// Names of the sub-keys, or of the values ("" for the default value).
inline std::vector<WString> SubKeyNames(HKEY root, const WString& path) {
  std::vector<WString> names;
  UniqueKey key;
  if (::RegOpenKeyExW(root, AsWin(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = ARRAYSIZE(name);
    if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.push_back(FromWin(name, length));
  }
  return names;
}

inline std::vector<WString> ValueNames(HKEY root, const WString& path) {
  std::vector<WString> names;
  UniqueKey key;
  if (::RegOpenKeyExW(root, AsWin(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = ARRAYSIZE(name);
    if (::RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.push_back(FromWin(name, length));
  }
  return names;
}

inline void DeleteTree(HKEY root, const WString& path) { ::RegDeleteTreeW(root, AsWin(path)); }

inline void SetString(HKEY root, const WString& path, const WString& name, const WString& data) {
  UniqueKey key;
  if (::RegCreateKeyExW(root, AsWin(path), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) ==
      ERROR_SUCCESS) {
    ::RegSetValueExW(key.get(), name.empty() ? nullptr : AsWin(name), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(WChar)));
  }
}

// The directory of the running test program.
inline WString TestDirectory() { return GetDirectoryPart(GetModulePath(nullptr)); }

}  // namespace test
}  // namespace ci
