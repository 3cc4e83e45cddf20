// Eight client processes call one running server for a minute with all three
// operations, undecodable and oversized messages mixed in. Every valid call
// succeeds and every other one is refused with E_INVALIDARG; every stored value,
// read again and again while the clients run, verifies and is one of the messages
// written; the server's memory, sampled through the minute after a warm-up, does
// not keep growing (memory_trend.h); afterwards the server ends by itself.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "ci/prefs/stored_value.h"
#include "tests/admin_prefs/module/memory_trend.h"
#include "tests/admin_prefs/module/soak_calls.h"
#include "tests/admin_prefs/server_test_support.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace test {
namespace {

constexpr int kClients = 8;
constexpr DWORD kWarmUpMs = 8000;
constexpr DWORD kSoakMs = 60000;
// Fewer calls than this in a third of the soak leave too little to judge a leak by.
constexpr long long kFewestCallsPerThird = 3000;

struct PhaseResult {
  long long calls = 0;
  long long unexpected = 0;
  long long stored_checks = 0;
  double seconds = 0;
};

struct Memory {
  SIZE_T private_bytes = 0;
  SIZE_T working_set = 0;
};

Memory MemoryOf(const ServerProcess& server) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  Memory memory;
  if (::GetProcessMemoryInfo(server.handle.get(), &counters, sizeof(counters))) {
    memory.private_bytes = counters.PagefileUsage;
    memory.working_set = counters.WorkingSetSize;
  }
  return memory;
}

// The server's private bytes every 20 ms, on a thread of its own, from
// construction to Finish.
class MemorySampler {
 public:
  explicit MemorySampler(const ServerProcess& server)
      : thread_([this, &server] {
          while (!done_.load()) {
            samples_.push_back(MemoryOf(server).private_bytes);
            ::Sleep(20);
          }
        }) {}
  ~MemorySampler() { Finish(); }
  std::vector<std::uint64_t> Finish() {
    done_.store(true);
    if (thread_.joinable()) thread_.join();
    return samples_;
  }

 private:
  std::atomic<bool> done_{false};
  std::vector<std::uint64_t> samples_;
  std::thread thread_;  // last: started once the others exist
};

// A stored message, when present, must verify and be one of `written`.
void CheckStored(const wchar_t* value_name, const std::vector<std::string>& written) {
  const std::string stored = StoredBytes(value_name);
  if (stored == "<absent>") return;  // the EULA operation removes the proxy settings
  std::string message;
  ASSERT_TRUE(
      SplitStoredValue(reinterpret_cast<const uint8_t*>(stored.data()), stored.size(), &message))
      << value_name << ": checksum of a " << stored.size() << "-byte value";
  EXPECT_TRUE(std::find(written.begin(), written.end(), message) != written.end())
      << value_name << ": a " << message.size() << "-byte message nobody wrote, beginning "
      << testing::PrintToString(message.substr(0, 16));
}

class ServerSoakTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HR_OK(RegisterServerForTests());
    ASSERT_TRUE(WaitForNoServer()) << "a server from before is still running";
    // With these set, every EULA call would start the first-run program.
    ASSERT_EQ(StoredBytes(L"install_dir"), "<absent>");
    // An installation has its machine key; without it an EULA call that comes
    // before any save fails.
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, FromWin(kMachineRootPath)));
    DeleteStoredValues();
  }
  void TearDown() override {
    DeleteStoredValues();
    DeleteValue(HKEY_LOCAL_MACHINE, FromWin(kMachineRootPath), u"userid");
  }

  // Runs the clients for `duration_ms`, checking the stored values meanwhile.
  PhaseResult RunClients(const char* phase, DWORD duration_ms) {
    PhaseResult result;
    const WString client = FullPath(TestDirectory() + u"\\admin_prefs_soak_client.exe");
    std::vector<UniqueHandle> processes;
    std::vector<WString> result_files;
    const auto start = Clock::now();
    for (int i = 0; i < kClients; ++i) {
      const WString index = FromWin(std::to_wstring(i).c_str());
      result_files.push_back(TestDirectory() + u"\\soak_client_" + index + u".txt");
      ::DeleteFileW(AsWin(result_files.back()));
      processes.push_back(StartProcess(Quoted(client) + u" " + index + u" " +
                                       FromWin(std::to_wstring(duration_ms).c_str()) + u" " +
                                       Quoted(result_files.back())));
      EXPECT_TRUE(processes.back());
    }
    const DWORD deadline = ::GetTickCount() + duration_ms + 60000;
    for (const UniqueHandle& process : processes) {
      // Read the stored values while waiting: they must never be torn.
      while (process && ::WaitForSingleObject(process.get(), 250) == WAIT_TIMEOUT &&
             static_cast<LONG>(deadline - ::GetTickCount()) > 0) {
        CheckStored(L"machine_prefs", SoakStoredPreferences());
        CheckStored(L"ProxySettings", SoakStoredProxies());
        ++result.stored_checks;
      }
    }
    result.seconds = static_cast<double>(MillisecondsSince(start)) / 1000.0;
    for (int i = 0; i < kClients; ++i) {
      DWORD code = STILL_ACTIVE;
      ::GetExitCodeProcess(processes[i].get(), &code);
      EXPECT_EQ(code, 0u) << phase << " client " << i;
      long long calls = 0, unexpected = 0;
      unsigned long first_hr = 0;
      int first_call = -1;
      if (FILE* in = _wfopen(AsWin(result_files[i]), L"r")) {
        std::fscanf(in, "%lld %lld %lx %d", &calls, &unexpected, &first_hr, &first_call);
        std::fclose(in);
      }
      EXPECT_GT(calls, 0) << phase << " client " << i << " reported nothing";
      EXPECT_EQ(unexpected, 0) << phase << " client " << i << ": first unexpected answer 0x"
                               << std::hex << first_hr << std::dec << " to call " << first_call
                               << " of the round";
      result.calls += calls;
      result.unexpected += unexpected;
      ::DeleteFileW(AsWin(result_files[i]));
    }
    return result;
  }

  ComApartment com_;
};

TEST_F(ServerSoakTest, EightClientsForAMinute) {
  // Hold an object so that the clients always find this one server running.
  ComPtr<IAdminPrefsManager> keeper;
  ASSERT_HR_OK(CreateServiceObject(&keeper));
  std::vector<ServerProcess> servers = OpenServerProcesses();
  ASSERT_EQ(servers.size(), 1u);
  const ServerProcess& server = servers.front();

  const PhaseResult warm_up = RunClients("warm-up", kWarmUpMs);
  const Memory after_warm_up = MemoryOf(server);
  MemorySampler sampler(server);
  const PhaseResult soak = RunClients("soak", kSoakMs);
  const std::vector<std::uint64_t> samples = sampler.Finish();
  const Memory after_soak = MemoryOf(server);

  EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{server.id}) << "one server served everyone";
  CheckStored(L"machine_prefs", SoakStoredPreferences());
  CheckStored(L"ProxySettings", SoakStoredProxies());
  ASSERT_NE(after_warm_up.private_bytes, 0u) << "memory of the server not readable";
  ASSERT_GE(samples.size(), 1000u) << "too few memory samples";
  ASSERT_GE(soak.calls / 3, kFewestCallsPerThird) << "the server served too few calls to judge";
  const MemoryTrend trend = MeasureMemoryTrend(samples, soak.calls);
  EXPECT_FALSE(trend.leaks()) << "the server's private bytes grow by " << trend.bytes_per_call
                              << " bytes per call";

  keeper.Reset();
  EXPECT_HR_OK(static_cast<HResult>(WaitForExit(server.handle.get(), 20000)))
      << "the server did not end by itself with S_OK";

  const auto kib = [](SIZE_T bytes) { return static_cast<unsigned long long>(bytes / 1024); };
  std::string medians;
  for (double median : trend.medians) {
    medians += (medians.empty() ? "" : " ") + std::to_string(static_cast<long long>(median / 1024));
  }
  std::printf(
      "soak: %d clients, %.1f s, %lld calls, %.0f calls/s (warm-up %.0f calls/s); "
      "%lld stored-value checks; server private bytes %llu KiB after warm-up, %llu KiB after "
      "the soak; through the soak %zu samples, medians of %d windows %s KiB, growth %+.1f "
      "bytes per call (a leak is over %.0f)\n",
      kClients, soak.seconds, soak.calls, soak.calls / soak.seconds,
      warm_up.calls / warm_up.seconds, soak.stored_checks + warm_up.stored_checks,
      kib(after_warm_up.private_bytes), kib(after_soak.private_bytes), samples.size(),
      kMemoryWindows, medians.c_str(), trend.bytes_per_call, kLeakBytesPerCall);
}

}  // namespace
}  // namespace test
}  // namespace ci
