// adminprefs crash-test end to end: the tool faults, its observer writes a
// minidump and reports it to a collector at 127.0.0.1:80 when it is small enough,
// the bookkeeping values land under the product key, and the process ends with
// the access violation.
// Works on the product key: saves the values it touches and puts them back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "ci/base/paths.h"
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
  }
  void TearDown() override {
    collector_.Stop();
    ::DeleteFileW(AsWin(DumpPath()));
    for (const auto& entry : saved_) Write(entry.first.c_str(), entry.second);
  }

  static HResult RunCrashTest() {
    return RunAndWait(Quoted(FullPath(TestDirectory() + u"\\..\\..\\tools\\adminprefs.exe")) +
                      u" crash-test --report-host 127.0.0.1");
  }

  std::map<std::wstring, StoredValue> saved_;
  LoopbackHttpServer collector_;
};

TEST_F(CrashTestCommand, ReportsTheFaultWithConsent) {
  StoredValue consent;
  consent.present = true;
  consent.type = REG_DWORD;
  consent.bytes = {1, 0, 0, 0};
  Write(L"SendAnonymousData", consent);
  ::DeleteFileW(AsWin(DumpPath()));
  const std::uint64_t before = Now();

  EXPECT_EQ(static_cast<DWORD>(RunCrashTest()), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

  // The dump of the failure, with its exception, stays in the temporary directory.
  std::string dump;
  ASSERT_TRUE(ReadFileBytes(DumpPath(), &dump));
  ASSERT_GE(dump.size(), 32u);
  EXPECT_EQ(dump.compare(0, 4, "MDMP"), 0);

  const auto requests = collector_.Requests();
  if (dump.size() > 262144) {
    // Too large to send (Wine's 64-bit dumps carry every module's unwind data):
    // nothing sent, nothing booked.
    EXPECT_TRUE(requests.empty());
    EXPECT_FALSE(Read(L"md_num").present);
    EXPECT_FALSE(Read(L"md_time").present);
    EXPECT_FALSE(Read(L"md_signature").present);
    std::printf("note: a dump of %zu bytes is over the report limit; not sent\n", dump.size());
    return;
  }
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/cr?prod=Velmor_Updater&ver=093008_152008&app=adminprefs.exe");
  EXPECT_EQ(requests[0].body, dump);

  const StoredValue signature = Read(L"md_signature");
  ASSERT_TRUE(signature.present);
  EXPECT_EQ(signature.type, static_cast<DWORD>(REG_DWORD));
  DWORD address = 0;
  ASSERT_EQ(signature.bytes.size(), 4u);
  std::memcpy(&address, signature.bytes.data(), 4);
  EXPECT_NE(address, 0u);

  const StoredValue time = Read(L"md_time");
  ASSERT_TRUE(time.present);
  EXPECT_EQ(time.type, static_cast<DWORD>(REG_QWORD));
  ASSERT_EQ(time.bytes.size(), 8u);
  std::uint64_t stamp = 0;
  std::memcpy(&stamp, time.bytes.data(), 8);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, Now());

  const StoredValue count = Read(L"md_num");
  ASSERT_TRUE(count.present);
  EXPECT_EQ(count.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(count.bytes, (std::vector<BYTE>{1, 0, 0, 0}));
}

TEST_F(CrashTestCommand, WithoutConsentNothingIsSent) {
  ::DeleteFileW(AsWin(DumpPath()));
  EXPECT_EQ(static_cast<DWORD>(RunCrashTest()), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_TRUE(collector_.Requests().empty());
  EXPECT_FALSE(Read(L"md_num").present);
  EXPECT_EQ(::GetFileAttributesW(AsWin(DumpPath())), INVALID_FILE_ATTRIBUTES) << "no dump";
}

}  // namespace
}  // namespace test
}  // namespace ci
