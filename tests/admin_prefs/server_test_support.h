// What the tests of the running server share: its path and registration, finding
// its processes and waiting for them to end, message BSTRs and the stored values.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <string>
#include <vector>

#include "admin_prefs/admin_prefs_idl.h"
#include "ci/base/win_handles.h"
#include "tests/support/bytes.h"
#include "tests/support/processes_win.h"
#include "tests/support/registry_win.h"

namespace ci {
namespace test {

constexpr const wchar_t* kServerFileName = L"VelmorUpdaterAdminPrefs.exe";
constexpr const wchar_t* kMachineRootPath = L"Software\\Velmor\\Velmor Updater";

// The server built beside the tests; the build gives its path relative to the
// test's folder.
inline WString ServerPath() { return FullPath(TestDirectory() + u"\\" VU_SERVER_RELATIVE_PATH); }

// Writes the server's registration (as an administrator would once); S_OK expected.
inline HResult RegisterServerForTests() {
  return RunAndWait(Quoted(ServerPath()) + u" /RegServer");
}

// Ids of the running server processes of this prefix, found by file name.
inline std::vector<DWORD> ServerProcessIds() {
  std::vector<DWORD> ids;
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (::lstrcmpiW(entry.szExeFile, kServerFileName) == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

struct ServerProcess {
  DWORD id = 0;
  UniqueHandle handle;
};

// Opens every running server process for waiting and reading its exit code.
inline std::vector<ServerProcess> OpenServerProcesses() {
  std::vector<ServerProcess> processes;
  for (DWORD id : ServerProcessIds()) {
    ServerProcess process;
    process.id = id;
    process.handle.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id));
    if (process.handle) processes.push_back(std::move(process));
  }
  return processes;
}

// Waits for every server of the prefix to end by itself (they idle out); false when
// one is still running after `timeout_ms`.
inline bool WaitForNoServer(DWORD timeout_ms = 20000) {
  const DWORD start = ::GetTickCount();
  for (const ServerProcess& process : OpenServerProcesses()) {
    const DWORD spent = ::GetTickCount() - start;
    if (spent >= timeout_ms ||
        WaitForExit(process.handle.get(), timeout_ms - spent) == STILL_ACTIVE)
      return false;
  }
  return ServerProcessIds().empty();
}

// A BSTR holding exactly `bytes` (its byte length is the message length).
inline UniqueBstr Blob(const std::string& bytes) {
  return MakeByteBstr(bytes.data(), static_cast<UINT>(bytes.size()));
}

// The stored bytes of a value under the machine root; "<absent>" when missing.
inline std::string StoredBytes(const wchar_t* value_name) {
  RawValue value;
  if (!ReadRaw(HKEY_LOCAL_MACHINE, FromWin(kMachineRootPath), FromWin(value_name), &value)) {
    return "<absent>";
  }
  return std::string(value.bytes.begin(), value.bytes.end());
}

inline void DeleteStoredValues() {
  for (const WChar* name : {u"machine_prefs", u"SendAnonymousData", u"ProxySettings"}) {
    DeleteValue(HKEY_LOCAL_MACHINE, FromWin(kMachineRootPath), name);
  }
}

// A service object in the (started if needed) local server.
inline HRESULT CreateServiceObject(IAdminPrefsManager** manager) {
  return ::CoCreateInstance(CLSID_AdminPrefsManagerCtl, nullptr, CLSCTX_LOCAL_SERVER,
                            IID_IAdminPrefsManager, reinterpret_cast<void**>(manager));
}

using Clock = std::chrono::steady_clock;

inline long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace test
}  // namespace ci
