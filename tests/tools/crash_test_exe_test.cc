// adminprefs crash-test end to end: its child faults, the child's observer writes
// a minidump and reports it to a collector at 127.0.0.1:80 when it is small
// enough, the bookkeeping values land under the product key, and the parent
// reports all of it with an exit code that says whether a report was accepted.
// Under 64-bit Wine the dump is over the report limit, so the tests see "over the
// limit, not sent"; where it fits (the 32-bit build) they see it sent.
// Works on the product key: saves the values it touches and puts them back.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "ci/base/paths.h"
#include "ci/base/utf8.h"
#include "tests/support/captured_run_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/processes_win.h"
#include "tests/support/registry_win.h"

namespace ci {
namespace test {
namespace {

constexpr wchar_t kProductKey[] = L"Software\\Velmor\\Velmor Updater";
const wchar_t* const kTouchedValues[] = {L"SendAnonymousData", L"minidump_type", L"md_signature",
                                         L"md_time", L"md_num"};

struct StoredValue : test::RawValue {
  bool present = false;
};

StoredValue Read(const wchar_t* name) {
  StoredValue value;
  value.present = test::ReadRaw(HKEY_LOCAL_MACHINE, FromWin(kProductKey), FromWin(name), &value);
  return value;
}

void Write(const wchar_t* name, const StoredValue& value) {
  if (!value.present) {
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, name);
    return;
  }
  ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, name, value.type, value.bytes.data(),
                    static_cast<DWORD>(value.bytes.size()));
}

std::uint64_t Now() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// Where the tool's observer leaves its dump.
WString DumpPath() { return GetTempDirectory() + u"adminprefs.exe__.dmp"; }

bool ReadFileBytes(const WString& path, std::string* bytes) {
  UniqueFileHandle file(::CreateFileW(AsWin(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  const DWORD size = ::GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE) return false;
  bytes->resize(size);
  DWORD read = 0;
  return ::ReadFile(file.get(), &(*bytes)[0], size, &read, nullptr) && read == size;
}

constexpr std::size_t kReportLimit = 262144;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The last line of the output: the verdict.
std::string LastLine(const std::string& output) {
  const std::size_t end = output.find_last_not_of("\r\n");
  if (end == std::string::npos) return std::string();
  const std::size_t begin = output.rfind('\n', end);
  return output.substr(begin == std::string::npos ? 0 : begin + 1, end - begin);
}

// The size the tool reports in "dump: PATH, N bytes"; 0 when it names none.
std::size_t ReportedDumpSize(const std::string& output) {
  const std::size_t bytes = output.find(" bytes, ");
  const std::size_t comma = output.rfind(", ", bytes);
  if (bytes == std::string::npos || comma == std::string::npos) return 0;
  return std::strtoul(output.c_str() + comma + 2, nullptr, 10);
}

class CrashTestCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : kTouchedValues) saved_[name] = Read(name);
    for (const wchar_t* name : kTouchedValues) Write(name, StoredValue());
    // Port 80 is the report port; another test may hold it for a moment.
    for (int attempt = 0; attempt < 50 && !collector_.Start("127.0.0.1", 80); ++attempt) {
      ::Sleep(100);
    }
    ASSERT_EQ(collector_.port(), 80) << "cannot listen on 127.0.0.1:80";
    ::DeleteFileW(AsWin(DumpPath()));
  }
  void TearDown() override {
    collector_.Stop();
    ::DeleteFileW(AsWin(DumpPath()));
    for (const auto& entry : saved_) Write(entry.first.c_str(), entry.second);
  }

  static void GiveConsent() {
    StoredValue consent;
    consent.present = true;
    consent.type = REG_DWORD;
    consent.bytes = {1, 0, 0, 0};
    Write(L"SendAnonymousData", consent);
  }

  // Runs adminprefs crash-test; its output with the console's CR LF as LF.
  static CapturedRun RunCrashTest(const char16_t* options = u"") {
    CapturedRun run =
        RunCapturingOutput(Quoted(FullPath(TestDirectory() + u"\\..\\..\\tools\\adminprefs.exe")) +
                               u" crash-test --report-host 127.0.0.1 " + options,
                           ErrorOutput::kMerged);
    run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
    return run;
  }

  // The dump the run reports is the one on disk; its size.
  static std::size_t CheckReportedDump(const CapturedRun& run) {
    std::string dump;
    EXPECT_TRUE(ReadFileBytes(DumpPath(), &dump)) << run.output;
    EXPECT_GE(dump.size(), 32u);
    EXPECT_EQ(dump.compare(0, 4, "MDMP"), 0);
    EXPECT_EQ(ReportedDumpSize(run.output), dump.size()) << run.output;
    EXPECT_TRUE(Contains(run.output, "dump: " + WideToUtf8(DumpPath()) + ", ")) << run.output;
    return dump.size();
  }

  static void ExpectNothingBooked() {
    EXPECT_FALSE(Read(L"md_num").present);
    EXPECT_FALSE(Read(L"md_time").present);
    EXPECT_FALSE(Read(L"md_signature").present);
  }

  // A dump over the limit: said so, nothing sent, nothing booked, exit 1.
  void ExpectOverTheLimit(const CapturedRun& run, std::size_t size) {
    // Only 64-bit dumps (unwind tables of every module) outgrow it: the 32-bit
    // product must get its report through.
    EXPECT_EQ(sizeof(void*), 8u) << "a 32-bit dump of " << size << " bytes";
    EXPECT_EQ(run.exit_code, 1u) << run.output;
    EXPECT_TRUE(Contains(run.output, "over the limit of 262144 bytes\nsent: no\nstatus: none\n"))
        << run.output;
    EXPECT_TRUE(Contains(LastLine(run.output), "crash-test: not sent: the dump is " +
                                                   std::to_string(size) +
                                                   " bytes, over the limit of 262144"))
        << run.output;
    EXPECT_TRUE(collector_.Requests().empty());
    ExpectNothingBooked();
    std::printf(
        "note: the dump of %zu bytes is over the report limit (64-bit Wine); the run "
        "saw it not sent\n",
        size);
  }

  std::map<std::wstring, StoredValue> saved_;
  LoopbackHttpServer collector_;
};

TEST_F(CrashTestCommand, WithConsentTheReportIsSentOrItsSizeSaysWhyNot) {
  GiveConsent();
  const std::uint64_t before = Now();
  const CapturedRun run = RunCrashTest();
  EXPECT_TRUE(Contains(run.output,
                       "crash-test: reporting consent (SendAnonymousData) is given: a report goes "
                       "to 127.0.0.1 port 80\ncrash-test: faulting on purpose in a child "
                       "process\ncrash-test: the child process ended with 0xC0000005"))
      << run.output;
  const std::size_t size = CheckReportedDump(run);
  if (size > kReportLimit) return ExpectOverTheLimit(run, size);

  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output,
                       "within the limit of 262144 bytes\nsent: yes, to 127.0.0.1 "
                       "port 80\nstatus: 200\nmd_num: absent -> 1\n"))
      << run.output;
  EXPECT_EQ(LastLine(run.output),
            "crash-test: the report was sent to 127.0.0.1 port 80 and accepted (status 200)");
  const auto requests = collector_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/cr?prod=Velmor_Updater&ver=093008_152008&app=adminprefs.exe");
  std::string dump;
  ASSERT_TRUE(ReadFileBytes(DumpPath(), &dump));
  EXPECT_EQ(requests[0].body, dump);

  const StoredValue signature = Read(L"md_signature");
  ASSERT_TRUE(signature.present);
  EXPECT_EQ(signature.type, static_cast<DWORD>(REG_DWORD));
  ASSERT_EQ(signature.bytes.size(), 4u);
  DWORD address = 0;
  std::memcpy(&address, signature.bytes.data(), 4);
  EXPECT_NE(address, 0u);
  char shown[32];
  std::snprintf(shown, sizeof(shown), "md_signature: absent -> 0x%08X\n",
                static_cast<unsigned>(address));
  EXPECT_TRUE(Contains(run.output, shown)) << run.output;

  const StoredValue time = Read(L"md_time");
  ASSERT_TRUE(time.present);
  EXPECT_EQ(time.type, static_cast<DWORD>(REG_QWORD));
  ASSERT_EQ(time.bytes.size(), 8u);
  std::uint64_t stamp = 0;
  std::memcpy(&stamp, time.bytes.data(), 8);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, Now());
  EXPECT_TRUE(Contains(run.output, "md_time: absent -> " + std::to_string(stamp) + " ("))
      << run.output;

  const StoredValue count = Read(L"md_num");
  ASSERT_TRUE(count.present);
  EXPECT_EQ(count.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(count.bytes, (std::vector<BYTE>{1, 0, 0, 0}));
}

TEST_F(CrashTestCommand, ARefusedReportIsNamedAndNotBooked) {
  GiveConsent();
  CannedResponse refusal;
  refusal.status = 500;
  collector_.Respond(refusal);
  const CapturedRun run = RunCrashTest(u"--json");
  const std::string reported_bytes = "\"bytes\": ";
  const std::size_t at = run.output.find(reported_bytes);
  ASSERT_NE(at, std::string::npos) << run.output;
  const std::size_t size =
      std::strtoul(run.output.c_str() + at + reported_bytes.size(), nullptr, 10);
  std::string dump;
  ASSERT_TRUE(ReadFileBytes(DumpPath(), &dump));
  EXPECT_EQ(size, dump.size());
  EXPECT_EQ(run.exit_code, 1u) << run.output;
  EXPECT_TRUE(Contains(run.output, "\"accepted\": false")) << run.output;
  ExpectNothingBooked();
  if (size > kReportLimit) {
    EXPECT_EQ(sizeof(void*), 8u) << "a 32-bit dump of " << size << " bytes";
    EXPECT_TRUE(Contains(run.output, "\"over_limit\": true}, \"sent\": false")) << run.output;
    EXPECT_TRUE(collector_.Requests().empty());
    std::printf(
        "note: the dump of %zu bytes is over the report limit; the refusal could not "
        "be seen\n",
        size);
    return;
  }
  EXPECT_TRUE(Contains(run.output,
                       "\"sent\": true, \"send_result\": \"0x00000000\", \"status\": "
                       "500, \"accepted\": false"))
      << run.output;
  EXPECT_TRUE(Contains(run.output, "refused: the crash-report server answered status 500"))
      << run.output;
  EXPECT_EQ(collector_.Requests().size(), 1u);
}

TEST_F(CrashTestCommand, WithoutConsentNothingIsWrittenOrSent) {
  // A dump of an earlier run does not pass for this one's, and is left alone.
  const std::string stale = "MDMP of an earlier run";
  {
    UniqueFileHandle file(::CreateFileW(AsWin(DumpPath()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(
        ::WriteFile(file.get(), stale.data(), static_cast<DWORD>(stale.size()), &written, nullptr));
  }
  const CapturedRun run = RunCrashTest();
  EXPECT_EQ(run.exit_code, 1u) << run.output;
  EXPECT_EQ(run.output.find("crash-test: reporting consent (SendAnonymousData) is not given: the "
                            "failure will not be reported\ncrash-test: faulting on purpose"),
            0u)
      << run.output;
  EXPECT_FALSE(Contains(run.output, "a report goes to")) << run.output;
  EXPECT_TRUE(Contains(run.output, "dump: none written")) << run.output;
  EXPECT_TRUE(Contains(LastLine(run.output), "not sent: reporting consent")) << run.output;
  EXPECT_TRUE(collector_.Requests().empty());
  ExpectNothingBooked();
  std::string dump;
  ASSERT_TRUE(ReadFileBytes(DumpPath(), &dump));
  EXPECT_EQ(dump, stale);
}

}  // namespace
}  // namespace test
}  // namespace ci
