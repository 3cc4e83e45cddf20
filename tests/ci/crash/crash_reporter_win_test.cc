// The crash reporter with a fake clock and a recording upload: throttles, consent
// and dump type (of the right value type only), size limit, read-back, real
// minidumps, the dump writer bound before the file exists, a dump file that
// admits Administrators and SYSTEM only and follows no link planted at its name.
// The bookkeeping values are tested with the real upload (report_upload_win_test.cc).
#include "ci/crash/crash_reporter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ci/base/wide_string.h"
#include "ci/crash/report_upload.h"
#include "dump_files.h"
#include "failure_at.h"
#include "tests/support/registry_win.h"
#include "tests/support/test_key_win.h"

namespace ci {
namespace test {
namespace {

constexpr std::uint64_t kMinute = 600000000ull;
constexpr std::uint64_t kHour = 60 * kMinute;
constexpr std::uint64_t kStart = 134000000000000000ull;

std::uint64_t g_now = kStart;
std::uint64_t FakeClock() { return g_now; }

// The fake dump: g_dump_size bytes starting with "FAKE", a fresh counter after it.
DWORD g_dump_size = 1000;
int g_dumps_written = 0;
std::uint32_t g_dump_type = 0;
EXCEPTION_POINTERS* g_dump_exception = nullptr;

bool FakeDumpWriter(HANDLE file, std::uint32_t dump_type, EXCEPTION_POINTERS* exception) {
  ++g_dumps_written;
  g_dump_type = dump_type;
  g_dump_exception = exception;
  std::vector<std::uint8_t> bytes(g_dump_size, 0x5A);
  if (bytes.size() >= 8) {
    std::memcpy(bytes.data(), "FAKE", 4);
    std::memcpy(bytes.data() + 4, &g_dumps_written, 4);
  }
  DWORD written = 0;
  return ::WriteFile(file, bytes.data(), g_dump_size, &written, nullptr) && written == g_dump_size;
}

using test::FailureAt;

class CrashReporterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = kStart;
    g_dump_size = 1000;
    g_dumps_written = 0;
    g_dump_type = 0;
    g_dump_exception = nullptr;
    dump_path_ = FromWinPath(DumpFilePath());
    ::DeleteFileW(dump_path_.c_str());
    SetConsent(1);
  }
  void TearDown() override { ::DeleteFileW(dump_path_.c_str()); }

  static std::wstring FromWinPath(const WString& path) {
    return std::wstring(AsWin(path), path.size());
  }

  void SetConsent(DWORD consent) {
    ASSERT_TRUE(WriteRaw(key_.root(), key_.sub_key(), u"SendAnonymousData", REG_DWORD, &consent,
                         sizeof(consent)));
  }

  CrashReporterSettings Settings(DumpWriter writer = FakeDumpWriter) {
    CrashReporterSettings settings;
    settings.key_path = key_.path();
    settings.report_host = u"127.0.0.1";
    settings.clock = FakeClock;
    settings.write_dump = writer;
    settings.upload = [this](const WString& host, const std::vector<std::uint8_t>& bytes) {
      hosts_.push_back(host);
      uploads_.push_back(bytes);
      return accept_;
    };
    return settings;
  }

  TestKey key_;
  std::wstring dump_path_;
  bool accept_ = true;
  std::vector<WString> hosts_;
  std::vector<std::vector<std::uint8_t>> uploads_;
};

TEST_F(CrashReporterTest, SecondCallWithinTheIntervalDoesNothing) {
  accept_ = false;  // so that only the interval can hold the second call back
  CrashReporter reporter(Settings());
  FailureAt first(0x401000), second(0x402000);
  EXPECT_TRUE(reporter.OnFailure(&first.pointers, kHour));
  EXPECT_EQ(g_dumps_written, 1);
  g_now += 10 * kMinute;
  EXPECT_TRUE(reporter.OnFailure(&second.pointers, kHour));
  EXPECT_EQ(g_dumps_written, 1);
  EXPECT_EQ(reporter.state().last_attempt_time, kStart) << "an ignored call is no attempt";
  g_now += kHour;
  EXPECT_TRUE(reporter.OnFailure(&second.pointers, kHour));
  EXPECT_EQ(g_dumps_written, 2);
  EXPECT_EQ(uploads_.size(), 2u);
}

TEST_F(CrashReporterTest, SameAddressIsReportedOnceAndOtherAddressesOncePerDay) {
  CrashReporter reporter(Settings());
  FailureAt a(0x401000), b(0x402000);
  reporter.OnFailure(&a.pointers, 0);
  ASSERT_EQ(uploads_.size(), 1u);
  EXPECT_EQ(hosts_[0], u"127.0.0.1");

  g_now += 2 * kOneDayFileTime;
  reporter.OnFailure(&a.pointers, 0);
  EXPECT_EQ(g_dumps_written, 1) << "the same address is not reported again";

  g_now += 1;
  FailureAt c(0x403000);
  reporter.OnFailure(&c.pointers, 0);
  EXPECT_EQ(uploads_.size(), 2u) << "another address a day later is";

  g_now += kHour;
  reporter.OnFailure(&b.pointers, 0);
  EXPECT_EQ(g_dumps_written, 2) << "another address within 24 hours is not";
  EXPECT_EQ(reporter.state().last_reported_address, 0x403000u);
}

TEST_F(CrashReporterTest, RejectedUploadLeavesTheNextFailureFreeToReport) {
  accept_ = false;
  CrashReporter reporter(Settings());
  FailureAt a(0x401000);
  reporter.OnFailure(&a.pointers, 0);
  g_now += 1;
  reporter.OnFailure(&a.pointers, 0);
  EXPECT_EQ(uploads_.size(), 2u);
  EXPECT_EQ(reporter.state().last_reported_address, 0u);
  EXPECT_EQ(reporter.state().last_upload_time, 0u);
  RawValue raw;
  EXPECT_FALSE(ReadRaw(key_.root(), key_.sub_key(), u"md_num", &raw));
  EXPECT_FALSE(ReadRaw(key_.root(), key_.sub_key(), u"md_time", &raw));
  EXPECT_FALSE(ReadRaw(key_.root(), key_.sub_key(), u"md_signature", &raw));
}

TEST_F(CrashReporterTest, NoConsentWritesNoDump) {
  struct Case {
    const char* name;
    bool present;
    DWORD value;
    bool reported;
  };
  const Case cases[] = {
      {"absent", false, 0, false}, {"zero", true, 0, false}, {"seven", true, 7, true}};
  for (const Case& c : cases) {
    ::DeleteFileW(dump_path_.c_str());
    uploads_.clear();
    if (c.present) {
      SetConsent(c.value);
    } else {
      ::RegDeleteKeyValueW(key_.root(), AsWin(key_.sub_key()), L"SendAnonymousData");
    }
    CrashReporter reporter(Settings());
    EXPECT_EQ(reporter.ReportingConsent(), c.reported) << c.name;
    reporter.OnFailure(nullptr, 0);
    EXPECT_EQ(test::FileExists(dump_path_), c.reported) << c.name;
    EXPECT_EQ(uploads_.size(), c.reported ? 1u : 0u) << c.name;
    EXPECT_EQ(reporter.state().last_attempt_time, kStart) << c.name << ": still an attempt";
  }
}

TEST_F(CrashReporterTest, ConsentAndDumpTypeOfAnotherValueTypeReadAsAbsent) {
  struct Case {
    const char* name;
    DWORD type;
    std::vector<std::uint8_t> bytes;
  };
  const std::uint64_t one = 1;
  const Case cases[] = {
      {"text \"0\"", REG_SZ, {'0', 0, 0, 0}},  // read as a DWORD it was 0x30: consent
      {"text \"1\"", REG_SZ, {'1', 0, 0, 0}},
      {"a QWORD", REG_QWORD,
       std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(&one),
                                 reinterpret_cast<const std::uint8_t*>(&one) + 8)},
      {"binary", REG_BINARY, {1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::DeleteFileW(dump_path_.c_str());
    uploads_.clear();
    ASSERT_TRUE(WriteRaw(key_.root(), key_.sub_key(), u"SendAnonymousData", c.type, c.bytes.data(),
                         static_cast<DWORD>(c.bytes.size())));
    CrashReporter reporter(Settings());
    EXPECT_FALSE(reporter.ReportingConsent());
    reporter.OnFailure(nullptr, 0);
    EXPECT_FALSE(test::FileExists(dump_path_));
    EXPECT_TRUE(uploads_.empty());
  }

  // "minidump_type" as text "2" would ask for a full-memory dump.
  SetConsent(1);
  ASSERT_TRUE(WriteRaw(key_.root(), key_.sub_key(), u"minidump_type", REG_SZ, u"2", 4));
  CrashReporter reporter(Settings());
  reporter.WriteDumpAndReport(nullptr);
  EXPECT_EQ(g_dump_type, kDefaultMinidumpType);
}

// The access entries of a DACL as the dump file is created with it.
struct DumpAcl {
  bool read = false;
  bool is_protected = false;
  int administrators = 0;  // full-access entries for each
  int system = 0;
  int others = 0;  // any other entry
};

DumpAcl AclOf(PSECURITY_DESCRIPTOR descriptor) {
  DumpAcl acl;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (descriptor == nullptr ||
      !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
      dacl == nullptr || !::GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    return acl;
  }
  acl.read = true;
  acl.is_protected = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) continue;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    const bool full = allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                      (allowed->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
    if (full && ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
      ++acl.administrators;
    } else if (full && ::IsWellKnownSid(sid, WinLocalSystemSid)) {
      ++acl.system;
    } else {
      ++acl.others;
    }
  }
  return acl;
}

// Creates the file as asked and keeps the DACL it was asked to carry.
DumpAcl g_created_acl;
int g_creations = 0;
HANDLE WINAPI InspectingCreate(LPCWSTR name, DWORD access, DWORD share,
                               LPSECURITY_ATTRIBUTES attributes, DWORD disposition, DWORD flags,
                               HANDLE template_file) {
  ++g_creations;
  g_created_acl = AclOf(attributes != nullptr ? attributes->lpSecurityDescriptor : nullptr);
  return ::CreateFileW(name, access, share, attributes, disposition, flags, template_file);
}

TEST_F(CrashReporterTest, TheDumpIsCreatedForAdministratorsAndSystemOnly) {
  // Wine keeps no DACL of a file (it maps one onto the host's mode bits and
  // reads back the user and Everyone), so the descriptor is looked at where the
  // file is created with it.
  g_creations = 0;
  g_created_acl = DumpAcl{};
  UniqueFileHandle file = CreateDumpFile(DumpFilePath(), InspectingCreate);
  ASSERT_TRUE(file);
  EXPECT_EQ(g_creations, 1);
  ASSERT_TRUE(g_created_acl.read) << "a DACL of its own, not the directory's";
  EXPECT_TRUE(g_created_acl.is_protected) << "nothing inherited from the temporary directory";
  EXPECT_EQ(g_created_acl.administrators, 1);
  EXPECT_EQ(g_created_acl.system, 1);
  EXPECT_EQ(g_created_acl.others, 0);

  // The creating handle reads and writes the file whatever its DACL says.
  const char bytes[] = "dump";
  DWORD done = 0;
  EXPECT_TRUE(::WriteFile(file.get(), bytes, 4, &done, nullptr) && done == 4);
  ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
  char back[4] = {};
  EXPECT_TRUE(::ReadFile(file.get(), back, 4, &done, nullptr) && done == 4);
  EXPECT_EQ(std::memcmp(back, bytes, 4), 0);
}

bool g_writer_bound = false;
bool FakeBinder() { return g_writer_bound; }

TEST_F(CrashReporterTest, TheDumpWriterIsBoundBeforeTheFileIsCreated) {
  CrashReporterSettings settings = Settings();
  settings.bind_dump_writer = FakeBinder;
  g_writer_bound = false;
  CrashReporter unbound(settings);
  unbound.WriteDumpAndReport(nullptr);
  EXPECT_FALSE(test::FileExists(dump_path_)) << "no empty dump left behind";
  EXPECT_EQ(g_dumps_written, 0);
  EXPECT_TRUE(uploads_.empty());

  g_writer_bound = true;
  CrashReporter bound(settings);
  bound.WriteDumpAndReport(nullptr);
  EXPECT_TRUE(test::FileExists(dump_path_));
  EXPECT_EQ(uploads_.size(), 1u);
  // The product's binder finds the debug-help library of the system.
  EXPECT_TRUE(BindMiniDumpWriter());
  EXPECT_EQ(CrashReporterSettings::Defaults(nullptr).bind_dump_writer, &BindMiniDumpWriter);
}

TEST_F(CrashReporterTest, DumpSizeDecidesWhatIsSent) {
  struct Case {
    DWORD size;
    bool sent;
  };
  const Case cases[] = {{0, false}, {1, true}, {262144, true}, {262145, false}};
  for (const Case& c : cases) {
    uploads_.clear();
    g_dump_size = c.size;
    CrashReporter reporter(Settings());
    reporter.WriteDumpAndReport(nullptr);
    std::vector<std::uint8_t> on_disk;
    ASSERT_TRUE(test::ReadWholeFile(dump_path_, &on_disk)) << c.size;
    EXPECT_EQ(on_disk.size(), c.size) << "the dump stays on disk";
    ASSERT_EQ(uploads_.size(), c.sent ? 1u : 0u) << c.size;
    if (c.sent) {
      EXPECT_EQ(uploads_[0], on_disk) << c.size;
    }
  }
}

TEST_F(CrashReporterTest, DumpTypeFromTheRegistryOrTheDefault) {
  CrashReporter reporter(Settings());
  reporter.WriteDumpAndReport(nullptr);
  EXPECT_EQ(g_dump_type, kDefaultMinidumpType);

  const DWORD full_memory = 0x2;
  ASSERT_TRUE(WriteRaw(key_.root(), key_.sub_key(), u"minidump_type", REG_DWORD, &full_memory,
                       sizeof(full_memory)));
  CrashReporter again(Settings());
  again.WriteDumpAndReport(nullptr);
  EXPECT_EQ(g_dump_type, 0x2u);
}

TEST_F(CrashReporterTest, RealMinidumpWithAndWithoutException) {
  constexpr std::uint32_t kExceptionStream = 6;
  CrashReporter reporter(Settings(WriteMiniDump));
  // Without exception information: no exception stream, and no address to hold
  // the dump back (0 would otherwise match the initial last address).
  reporter.WriteDumpAndReport(nullptr);
  std::vector<std::uint8_t> dump;
  ASSERT_TRUE(test::ReadWholeFile(dump_path_, &dump));
  EXPECT_TRUE(test::IsMinidump(dump));
  EXPECT_FALSE(test::MinidumpHasStream(dump, kExceptionStream));
  // A 32-bit dump of this program fits the limit and is sent as it is on disk; a
  // 64-bit one (unwind tables of every module) outgrows it and stays on disk.
  if (dump.size() <= kMaxReportBytes) {
    ASSERT_EQ(uploads_.size(), 1u) << dump.size() << " bytes";
    EXPECT_EQ(uploads_[0], dump);
  } else {
    EXPECT_TRUE(uploads_.empty()) << dump.size() << " bytes";
  }

  // A reporter of its own: after an upload, the one-a-day throttle holds the
  // first one back.
  CrashReporter another(Settings(WriteMiniDump));
  FailureAt a(0x401000);
  another.WriteDumpAndReport(&a.pointers);
  ASSERT_TRUE(test::ReadWholeFile(dump_path_, &dump));
  EXPECT_TRUE(test::MinidumpHasStream(dump, kExceptionStream));
}

// A link planted at the dump's name by the (non-elevated) user must not make the
// dump land on its target.
class PlantedLinkTest : public CrashReporterTest {
 protected:
  void SetUp() override {
    CrashReporterTest::SetUp();
    victim_ = scratch_.path() + L"victim.txt";
    ASSERT_TRUE(test::WriteWholeFile(victim_, kVictimText));
  }
  void TearDown() override {
    test::RemoveEntry(dump_path_);
    CrashReporterTest::TearDown();
  }

  // The victim keeps its text, and whatever was sent is a dump made now.
  void ExpectVictimUntouchedAndFreshReports() {
    std::vector<std::uint8_t> victim;
    ASSERT_TRUE(test::ReadWholeFile(victim_, &victim));
    EXPECT_EQ(std::string(victim.begin(), victim.end()), kVictimText);
    for (const auto& upload : uploads_) {
      ASSERT_EQ(upload.size(), g_dump_size);
      EXPECT_EQ(std::memcmp(upload.data(), "FAKE", 4), 0);
    }
  }

  static constexpr const char* kVictimText = "owned by someone else";
  test::ScratchDirectory scratch_;
  std::wstring victim_;
};

TEST_F(PlantedLinkTest, HardLinkAtTheDumpName) {
  ASSERT_TRUE(::CreateHardLinkW(dump_path_.c_str(), victim_.c_str(), nullptr));
  CrashReporter reporter(Settings());
  reporter.WriteDumpAndReport(nullptr);
  ExpectVictimUntouchedAndFreshReports();
  EXPECT_EQ(uploads_.size(), 1u) << "the link itself is removed and a new file made";
}

TEST_F(PlantedLinkTest, SymbolicLinkAtTheDumpName) {
  if (!test::PlantSymbolicLink(dump_path_, victim_)) {
    GTEST_SKIP() << "no symbolic link can be made here";
  }
  CrashReporter reporter(Settings());
  reporter.WriteDumpAndReport(nullptr);
  ExpectVictimUntouchedAndFreshReports();
}

TEST_F(PlantedLinkTest, DanglingSymbolicLinkCreatesNoTarget) {
  const std::wstring target = scratch_.path() + L"created-through-link.txt";
  ASSERT_TRUE(test::WriteWholeFile(target, "soon gone"));
  if (!test::PlantSymbolicLink(dump_path_, target)) {
    GTEST_SKIP() << "no symbolic link can be made here";
  }
  test::RemoveEntry(target);
  ASSERT_FALSE(test::FileExists(target));
  CrashReporter reporter(Settings());
  reporter.WriteDumpAndReport(nullptr);
  EXPECT_FALSE(test::FileExists(target));
  ExpectVictimUntouchedAndFreshReports();
}

TEST_F(PlantedLinkTest, StaleDumpIsReplaced) {
  ASSERT_TRUE(test::WriteWholeFile(dump_path_, "an old dump"));
  CrashReporter reporter(Settings());
  reporter.WriteDumpAndReport(nullptr);
  ASSERT_EQ(uploads_.size(), 1u);
  std::vector<std::uint8_t> on_disk;
  ASSERT_TRUE(test::ReadWholeFile(dump_path_, &on_disk));
  EXPECT_EQ(on_disk, uploads_[0]);
}

}  // namespace
}  // namespace test
}  // namespace ci
