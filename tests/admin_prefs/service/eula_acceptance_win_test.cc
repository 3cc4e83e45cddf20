// The EULA acceptance in process, against a fake service object and registry keys
// of the test's own.
#include "admin_prefs/service/eula_acceptance.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "ci/base/win_handles.h"
#include "ci/crash/report_ids.h"
#include "eula_test_support.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace eula_test {
namespace {

// Records how SaveAdminPreferences is called and answers with `result`.
class FakeAdminPrefs : public IAdminPrefsManager {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return kE_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SaveAdminPreferences(BSTR serialized_prefs) override {
    ++save_calls;
    last_argument = serialized_prefs;
    return result;
  }
  HRESULT STDMETHODCALLTYPE SaveProxySettings(BSTR) override { return kE_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE SaveAcceptingEulaSettings(BSTR) override { return kE_UNEXPECTED; }

  HRESULT result = kS_OK;
  int save_calls = 0;
  BSTR last_argument = nullptr;
};

class MemoryStore : public ReportIdStore {
 public:
  bool Read(std::vector<std::uint8_t>*) override { return false; }
  void Write(const ReportIdBytes&) override { ++writes; }
  int writes = 0;
};

const HRESULT kGuidFailure = HRESULT_FROM_WIN32(RPC_S_UUID_NO_ADDRESS);
HRESULT WINAPI FailingGuidCreator(GUID*) { return kGuidFailure; }

class EulaAcceptance : public testing::Test {
 protected:
  void SetUp() override {
    const std::wstring base = L"Software\\VuEulaTest_" + std::to_wstring(::GetCurrentProcessId()) +
                              L"_" + std::to_wstring(::GetTickCount());
    base_ = {HKEY_CURRENT_USER, base};
    machine_ = {HKEY_CURRENT_USER, base + L"\\Machine"};
    user_ = {HKEY_CURRENT_USER, base + L"\\User"};
    settings_.machine_root = machine_.KeyPath();
    settings_.user_root = user_.KeyPath();
    eula_test::WriteUnacceptedInstallation(machine_, user_);
  }
  void TearDown() override { eula_test::DeleteTree(base_); }

  void SetUpInstall(const InstallFolder& folder, const std::wstring& version) {
    ASSERT_TRUE(folder.ready());
    eula_test::WriteInstall(machine_, folder, version);
  }

  void ExpectAccepted() { eula_test::ExpectAccepted(machine_, user_); }

  Key base_, machine_, user_;
  EulaSettings settings_;
  FakeAdminPrefs self_;
};

TEST_F(EulaAcceptance, StartsTheFirstRunProgramWithoutWaitingAndRecordsTheAcceptance) {
  InstallFolder folder(L"2.4.1368.5602");
  SetUpInstall(folder, L"2.4.1368.5602");
  EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
  const bool finished_at_return = folder.HasMarker(L"done");

  EXPECT_FALSE(finished_at_return) << "the call waited for the first-run program";
  EXPECT_TRUE(folder.WaitForMarker(L"ran", 10000)) << "first-run program not started";
  EXPECT_EQ(self_.save_calls, 0);
  ExpectAccepted();
}

TEST_F(EulaAcceptance, WithoutVersionOrInstallDirNothingIsStarted) {
  InstallFolder folder(L"");  // the stand-in sits in the install folder itself
  SetUpInstall(folder, L"");
  EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
  ExpectAccepted();

  SetString(machine_, L"version", L"2.4.1368.5602");
  ::RegDeleteKeyValueW(machine_.root, machine_.path.c_str(), L"install_dir");
  EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
  ::Sleep(1000);
  EXPECT_FALSE(folder.HasMarker(L"ran"));
}

TEST_F(EulaAcceptance, AFailedLaunchDoesNotMatter) {
  SetString(machine_, L"install_dir", L"C:\\no such folder");
  SetString(machine_, L"version", L"1.0");
  EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
  ExpectAccepted();
}

TEST_F(EulaAcceptance, ADoubledSeparatorStillReachesTheProgram) {
  InstallFolder folder(L"1.0");
  SetUpInstall(folder, L"1.0");
  SetString(machine_, L"install_dir", folder.install_dir() + L"\\");
  EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
  EXPECT_TRUE(folder.WaitForMarker(L"ran", 10000));
}

// Values that would lead the elevated server to a program outside the install
// directory's version folders: each would reach the stand-in if it were used as
// it stands. Nothing is started and the acceptance is still recorded.
TEST_F(EulaAcceptance, InstallDirOrVersionThatLeadElsewhereStartNothing) {
  InstallFolder in_install_dir(L"");  // the stand-in sits in the install folder itself
  ASSERT_TRUE(in_install_dir.ready());
  const std::wstring install_dir = in_install_dir.install_dir();
  InstallFolder in_version(L"1.0");
  ASSERT_TRUE(in_version.ready());
  const std::wstring parent = install_dir.substr(0, install_dir.find_last_of(L'\\'));
  const std::wstring relative = install_dir.substr(parent.size() + 1);

  wchar_t saved_directory[MAX_PATH] = {};
  ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, saved_directory), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryW(parent.c_str()));
  struct Case {
    std::wstring install_dir, version;
  };
  const Case cases[] = {
      {relative, L"."},  // relative to the current directory
      {install_dir, L"."},
      {in_version.install_dir() + L"\\1.0\\x", L".."},
      {in_version.install_dir(), L"x\\..\\1.0"},
      {in_version.install_dir(), L"x/../1.0"},
  };
  for (const Case& c : cases) {
    // Joined as they stand, the values do reach a stand-in.
    const std::wstring joined = c.install_dir + L"\\" + c.version + L"\\vufirstboot.exe";
    ASSERT_NE(::GetFileAttributesW(joined.c_str()), INVALID_FILE_ATTRIBUTES) << joined;
    SetString(machine_, L"install_dir", c.install_dir);
    SetString(machine_, L"version", c.version);
    SetDword(machine_, L"tc_accpt", 0);
    EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_)) << c.install_dir << " " << c.version;
    EXPECT_FALSE(HasValue(machine_, L"tc_accpt"));
  }
  ::Sleep(1500);
  ::SetCurrentDirectoryW(saved_directory);
  EXPECT_FALSE(in_install_dir.HasMarker(L"ran"));
  EXPECT_FALSE(in_version.HasMarker(L"ran"));
  ExpectAccepted();
}

TEST_F(EulaAcceptance, AMessageIsSavedThroughTheObjectFirst) {
  UniqueBstr message = MakeByteBstr("\x08\x01", 2);
  EXPECT_HR_OK(AcceptEula(message.get(), &self_, settings_));
  EXPECT_EQ(self_.save_calls, 1);
  EXPECT_EQ(self_.last_argument, message.get());
  ExpectAccepted();
}

TEST_F(EulaAcceptance, AFailedSaveChangesNothingButTheLaunchHappened) {
  InstallFolder folder(L"2.4.1368.5602");
  SetUpInstall(folder, L"2.4.1368.5602");
  SetString(machine_, L"userid", L"00000000-0000-0000-0000-000000000000");
  self_.result = kE_INVALIDARG;
  UniqueBstr undecodable = MakeByteBstr("\xFF\xFF\xFF", 3);

  EXPECT_HR_EQ(AcceptEula(undecodable.get(), &self_, settings_), kE_INVALIDARG);
  EXPECT_TRUE(folder.WaitForMarker(L"ran", 10000));
  EXPECT_TRUE(HasValue(machine_, L"offline"));
  EXPECT_TRUE(HasValue(machine_, L"no_eula"));
  EXPECT_TRUE(HasValue(machine_, L"tc_accpt"));
  EXPECT_EQ(GetString(machine_, L"userid"), L"00000000-0000-0000-0000-000000000000");
  EXPECT_TRUE(HasValue(machine_, L"ProxySettings"));
  EXPECT_TRUE(HasValue(user_, L"ProxySettings"));
}

TEST_F(EulaAcceptance, MissingMarkersAreNoError) {
  for (const wchar_t* name : {L"offline", L"no_eula", L"tc_accpt"}) {
    ::RegDeleteKeyValueW(machine_.root, machine_.path.c_str(), name);
  }
  EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
  ExpectAccepted();
}

TEST_F(EulaAcceptance, EmptyOrAllZeroUserIdIsReplaced) {
  for (const wchar_t* stored : {L"", L"00000000-0000-0000-0000-000000000000"}) {
    SetString(machine_, L"userid", stored);
    EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
    const auto user_id = GetString(machine_, L"userid");
    ASSERT_TRUE(user_id);
    EXPECT_TRUE(IsUserIdForm(*user_id)) << *user_id;
    EXPECT_NE(*user_id, L"00000000-0000-0000-0000-000000000000");
  }
}

TEST_F(EulaAcceptance, AnExistingUserIdIsKeptWhateverItsForm) {
  for (const wchar_t* stored : {L"{6B29FC40-CA47-1067-B31D-00DD010662DA}",
                                L"6b29fc40-ca47-1067-b31d-00dd010662da", L"not a guid"}) {
    SetString(machine_, L"userid", stored);
    EXPECT_HR_OK(AcceptEula(nullptr, &self_, settings_));
    EXPECT_EQ(GetString(machine_, L"userid"), stored);
  }
}

TEST_F(EulaAcceptance, MissingMachineRootFailsAtTheTermsValue) {
  eula_test::DeleteTree(machine_);
  EXPECT_HR_EQ(AcceptEula(nullptr, &self_, settings_), static_cast<HRESULT>(0x80070002));
  EXPECT_FALSE(eula_test::KeyExists(machine_)) << "no userid may be written";
  EXPECT_TRUE(HasValue(user_, L"ProxySettings"));
}

TEST_F(EulaAcceptance, GuidFailureIsCountedAndReturned) {
  MemoryStore store;
  const std::wstring mutex_name =
      L"Global\\vu_eula_test_" + std::to_wstring(::GetCurrentProcessId());
  ReportIds report_ids(mutex_name.c_str(), &store);
  settings_.create_guid = &FailingGuidCreator;
  settings_.report_ids = &report_ids;

  EXPECT_HR_EQ(AcceptEula(nullptr, &self_, settings_), kGuidFailure);
  ASSERT_EQ(report_ids.record().count, 1u);
  EXPECT_EQ(report_ids.record().ids[0], kReportIdGuidCreationFailed);
  EXPECT_EQ(report_ids.record().hits[0], 1);
  // The deletions stay done; the identifier and the proxies are untouched.
  EXPECT_FALSE(HasValue(machine_, L"tc_accpt"));
  EXPECT_FALSE(HasValue(machine_, L"offline"));
  EXPECT_FALSE(HasValue(machine_, L"userid"));
  EXPECT_TRUE(HasValue(machine_, L"ProxySettings"));
  EXPECT_TRUE(HasValue(user_, L"ProxySettings"));
}

TEST(NewGuidString, ThirtySixUpperCaseCharactersWithoutBraces) {
  WString first, second;
  ASSERT_HR_OK(NewGuidString(&first));
  ASSERT_HR_OK(NewGuidString(&second));
  EXPECT_TRUE(IsUserIdForm(std::wstring(first.begin(), first.end())));
  EXPECT_NE(first, second);
}

TEST(NewGuidString, FailureLeavesTheOutputAndIsCountedEachTime) {
  MemoryStore store;
  const std::wstring mutex_name =
      L"Global\\vu_guid_test_" + std::to_wstring(::GetCurrentProcessId());
  ReportIds report_ids(mutex_name.c_str(), &store);
  WString output = u"unchanged";
  EXPECT_HR_EQ(NewGuidString(&output, &FailingGuidCreator, &report_ids), kGuidFailure);
  EXPECT_HR_EQ(NewGuidString(&output, &FailingGuidCreator, &report_ids), kGuidFailure);
  EXPECT_EQ(output, u"unchanged");
  ASSERT_EQ(report_ids.record().count, 1u);
  EXPECT_EQ(report_ids.record().hits[0], 2);
}

}  // namespace
}  // namespace eula_test
}  // namespace ci
