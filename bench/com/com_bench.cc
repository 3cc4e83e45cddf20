// Timing client: activation and SaveAdminPreferences round trips of the real
// server against the bare server of the same interface, measured in the same run
// call by call in alternation, reported as medians and ratios.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "admin_prefs/admin_prefs_idl.h"
#include "admin_prefs/module/module.h"
#include "admin_prefs/service/admin_prefs_manager.h"
#include "bench/com/bare_class.h"
#include "ci/base/paths.h"
#include "ci/base/win_handles.h"

namespace ci {
namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 20;
constexpr int kWarmActivationsPerRound = 10;
constexpr int kCallsPerRound = 50;
constexpr int kColdActivations = 3;

struct Target {
  const char* name;
  const CLSID* clsid;
  const wchar_t* exe_name;
  std::vector<double> cold_ms, warm_ms, call_ms;
};

// Counts finished COM calls; the watchdog ends the run when it stops moving.
std::atomic<long> g_progress{0};
constexpr int kStallSeconds = 60;

// Wine can deadlock a server whose last reference to a class-object stub goes while
// another call waits for its apartment; the client then never gets its answer.
// Rather than hang, say so and end (the script ends the prefix and its servers).
void StartWatchdog() {
  std::thread([] {
    long last = -1;
    int still = 0;
    for (;;) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      const long now = g_progress.load();
      still = now == last ? still + 1 : 0;
      last = now;
      if (still >= kStallSeconds) {
        std::printf("com_bench: no COM call returned for %d s (a server deadlocked); run again\n",
                    kStallSeconds);
        std::fflush(stdout);
        ExitProcess(3);
      }
    }
  }).detach();
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::wstring Directory() {
  const WString path = GetModulePath(nullptr);
  return std::wstring(AsWin(GetDirectoryPart(path)));
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
  return (n == 0 || n >= MAX_PATH) ? path : std::wstring(buffer, n);
}

DWORD RunAndWait(std::wstring command_line) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return GetLastError();
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  WaitForSingleObject(process.get(), 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

// Waits until no process of that file name runs (the servers end by themselves).
bool WaitForNoProcess(const wchar_t* exe_name, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    bool found = false;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = snapshot ? Process32FirstW(snapshot.get(), &entry) : FALSE; more;
         more = Process32NextW(snapshot.get(), &entry)) {
      if (lstrcmpiW(entry.szExeFile, exe_name) != 0) continue;
      found = true;
      UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
      if (process) WaitForSingleObject(process.get(), 1000);
    }
    if (!found) return true;
    if (GetTickCount() - start > timeout_ms) return false;
  }
}

bool RegisterBareServer(const std::wstring& path) {
  UniqueKey key;
  const std::wstring local_server = std::wstring(kBareClassKey) + L"\\LocalServer32";
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, local_server.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring quoted = L"\"" + path + L"\"";
  return RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(quoted.c_str()),
                        static_cast<DWORD>((quoted.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

HRESULT Create(const Target& target, IAdminPrefsManager** manager) {
  return CoCreateInstance(*target.clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IAdminPrefsManager,
                          reinterpret_cast<void**>(manager));
}

// One activation of a stopped server, then the wait for it to end.
bool MeasureCold(Target& target) {
  if (!WaitForNoProcess(target.exe_name, 20000)) return false;
  ComPtr<IAdminPrefsManager> manager;
  const auto start = Clock::now();
  if (FAILED(Create(target, manager.GetAddressOf()))) return false;
  target.cold_ms.push_back(Ms(Clock::now() - start));
  ++g_progress;
  return true;
}

// Activations of running servers (held by keepers) and round trips on one object
// of each, alternating between the two so that both see the same machine load.
bool MeasureWarm(Target& first, Target& second, BSTR message) {
  Target* targets[2] = {&first, &second};
  ComPtr<IAdminPrefsManager> keepers[2];
  bool ok = SUCCEEDED(Create(first, keepers[0].GetAddressOf())) &&
            SUCCEEDED(Create(second, keepers[1].GetAddressOf()));
  for (int i = 0; ok && i < kWarmActivationsPerRound; ++i) {
    for (int t = 0; ok && t < 2; ++t) {
      ComPtr<IAdminPrefsManager> manager;
      const auto start = Clock::now();
      ok = SUCCEEDED(Create(*targets[t], manager.GetAddressOf()));
      if (!ok) break;
      targets[t]->warm_ms.push_back(Ms(Clock::now() - start));
      ++g_progress;
    }
  }
  for (int i = 0; ok && i < kCallsPerRound; ++i) {
    for (int t = 0; ok && t < 2; ++t) {
      const auto start = Clock::now();
      ok = SUCCEEDED(keepers[t]->SaveAdminPreferences(message));
      targets[t]->call_ms.push_back(Ms(Clock::now() - start));
      ++g_progress;
    }
  }
  return ok;  // the keepers go here
}

// The same operation in this process, without COM: what the server itself spends
// per call (decoding, the registry writes).
double InProcessCallMs(BSTR message) {
  AdminPrefsModule module(nullptr, 0);
  ComPtr<IAdminPrefsManager> manager;
  if (FAILED(AdminPrefsManager::CreateInstance(nullptr, IID_IAdminPrefsManager,
                                               reinterpret_cast<void**>(manager.GetAddressOf())))) {
    return 0;
  }
  std::vector<double> times;
  for (int i = 0; i < kCallsPerRound; ++i) {
    const auto start = Clock::now();
    manager->SaveAdminPreferences(message);
    times.push_back(Ms(Clock::now() - start));
  }
  return Median(times);
}

void Report(const char* what, const std::vector<double>& ours, const std::vector<double>& bare,
            double goal) {
  const double ratio = Median(ours) / Median(bare);
  std::printf("%-28s ours %8.3f ms   bare %8.3f ms   ratio %.2fx   (goal <= %.2fx: %s)\n", what,
              Median(ours), Median(bare), ratio, goal, ratio <= goal ? "met" : "NOT met");
}

int Main() {
  const ComApartment apartment;
  if (!apartment.joined()) return 1;
  StartWatchdog();
  const std::wstring dir = Directory();
  const std::wstring server = FullPath(dir + L"\\..\\..\\admin_prefs\\VelmorUpdaterAdminPrefs.exe");
  const std::wstring bare = FullPath(dir + L"\\bare_admin_prefs_server.exe");
  if (RunAndWait(L"\"" + server + L"\" /RegServer") != 0 || !RegisterBareServer(bare)) {
    std::fprintf(stderr, "com_bench: cannot register the servers\n");
    return 1;
  }
  Target ours = {"ours", &CLSID_AdminPrefsManagerCtl, L"VelmorUpdaterAdminPrefs.exe", {}, {}, {}};
  Target bare_target = {"bare", &kBareClass, L"bare_admin_prefs_server.exe", {}, {}, {}};
  UniqueBstr message = MakeByteBstr("\x10\x01", 2);

  bool ok = true;
  std::printf("cold activation (%d each, waiting for each server to end in between)...\n",
              kColdActivations);
  std::fflush(stdout);
  for (int i = 0; i < kColdActivations && ok; ++i) {
    ok = MeasureCold(i % 2 ? ours : bare_target) && MeasureCold(i % 2 ? bare_target : ours);
  }
  std::printf("warm activation and round trips (%d rounds)...\n", kRounds);
  std::fflush(stdout);
  for (int round = 0; round < kRounds && ok; ++round) {
    ok = round % 2 ? MeasureWarm(ours, bare_target, message.get())
                   : MeasureWarm(bare_target, ours, message.get());
  }
  if (!ok) std::fprintf(stderr, "com_bench: a COM call failed\n");
  if (ok) {
    Report("SaveAdminPreferences call", ours.call_ms, bare_target.call_ms, 1.25);
    Report("activation, running server", ours.warm_ms, bare_target.warm_ms, 1.10);
    Report("activation, stopped server", ours.cold_ms, bare_target.cold_ms, 1.10);
    std::printf("the same SaveAdminPreferences in process, without COM: %.3f ms per call\n",
                InProcessCallMs(message.get()));
  }
  std::printf("waiting for the servers to end...\n");
  std::fflush(stdout);
  WaitForNoProcess(ours.exe_name, 20000);
  WaitForNoProcess(bare_target.exe_name, 20000);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBareClassKey);
  UniqueKey root;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmor\\Velmor Updater", 0, KEY_SET_VALUE,
                    root.put()) == ERROR_SUCCESS) {
    RegDeleteValueW(root.get(), L"machine_prefs");
    RegDeleteValueW(root.get(), L"SendAnonymousData");
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace bench
}  // namespace ci

int wmain() { return ci::bench::Main(); }
