// SaveAcceptingEulaSettings through real COM: this test program is a client in its
// own process; the server, started by COM, launches the first-run stand-in and
// records the acceptance under the product's fixed keys.
#include <windows.h>

#include <gtest/gtest.h>

#include "eula_test_support.h"
#include "tests/admin_prefs/server_test_support.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace eula_test {
namespace {

using test::Blob;
using test::ByteString;

const Key kMachine = {HKEY_LOCAL_MACHINE, L"Software\\Velmor\\Velmor Updater"};
const Key kUser = {HKEY_CURRENT_USER, L"Software\\Velmor\\Velmor Updater"};
const wchar_t kVersion[] = L"2.4.1368.5602";
const wchar_t kNoUserId[] = L"00000000-0000-0000-0000-000000000000";

class EulaComTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_HR_OK(test::RegisterServerForTests());
    ASSERT_TRUE(test::WaitForNoServer());
  }
  static void TearDownTestSuite() { EXPECT_TRUE(test::WaitForNoServer()); }

  void SetUp() override {
    ClearProductValues();
    eula_test::WriteUnacceptedInstallation(kMachine, kUser);
    ASSERT_HR_OK(test::CreateServiceObject(&manager_));
  }
  void TearDown() override {
    manager_.Reset();
    ClearProductValues();
    // An installed product has its key: the tests that run next (an EULA call
    // first fails on a missing key) find it as an installation leaves it.
    EXPECT_TRUE(test::CreateKey(kMachine.root, FromWin(kMachine.path.c_str())));
  }

  static void ClearProductValues() {
    eula_test::DeleteTree(kMachine);
    ::RegDeleteKeyValueW(kUser.root, kUser.path.c_str(), L"ProxySettings");
  }

  void SetUpInstall(const InstallFolder& folder, const std::wstring& version) {
    ASSERT_TRUE(folder.ready());
    eula_test::WriteInstall(kMachine, folder, version);
  }

  static void ExpectAccepted() { eula_test::ExpectAccepted(kMachine, kUser); }
  static void ExpectUnaccepted() { eula_test::ExpectUnaccepted(kMachine, kUser); }

  ComApartment com_;
  ComPtr<IAdminPrefsManager> manager_;
};

TEST_F(EulaComTest, StartsTheFirstRunProgramFromAPathWithSpacesAndRecordsTheAcceptance) {
  InstallFolder folder(kVersion);
  SetUpInstall(folder, kVersion);
  EXPECT_HR_OK(manager_->SaveAcceptingEulaSettings(nullptr));
  EXPECT_FALSE(folder.HasMarker(L"done")) << "the server waited for the first-run program";
  EXPECT_TRUE(folder.WaitForMarker(L"ran", 10000)) << "first-run program not started";
  ExpectAccepted();
  EXPECT_FALSE(HasValue(kMachine, L"machine_prefs")) << "a null argument saves no preferences";
}

TEST_F(EulaComTest, EmptyVersionStartsNothingAndStillRecords) {
  InstallFolder folder(L"");  // the stand-in sits in the install folder itself
  SetUpInstall(folder, L"");
  EXPECT_HR_OK(manager_->SaveAcceptingEulaSettings(nullptr));
  ExpectAccepted();
  ::Sleep(1000);
  EXPECT_FALSE(folder.HasMarker(L"ran"));
}

TEST_F(EulaComTest, PreferencesInTheSameCallAreSaved) {
  EXPECT_HR_OK(manager_->SaveAcceptingEulaSettings(Blob(ByteString({0x10, 0x01})).get()));
  EXPECT_EQ(test::StoredBytes(L"machine_prefs"), ByteString({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  ExpectAccepted();
}

TEST_F(EulaComTest, UndecodableMessageStartsTheProgramButChangesNoAcceptanceValue) {
  InstallFolder folder(kVersion);
  SetUpInstall(folder, kVersion);
  SetString(kMachine, L"userid", kNoUserId);
  // 0x10 0x80: a varint cut short (even length, so nothing is padded in transit).
  EXPECT_HR_EQ(manager_->SaveAcceptingEulaSettings(Blob(ByteString({0x10, 0x80})).get()),
               kE_INVALIDARG);
  EXPECT_TRUE(folder.WaitForMarker(L"ran", 10000));
  ExpectUnaccepted();
  EXPECT_EQ(GetString(kMachine, L"userid"), kNoUserId);
  EXPECT_FALSE(HasValue(kMachine, L"machine_prefs"));

  EXPECT_HR_EQ(manager_->SaveAcceptingEulaSettings(Blob("").get()), kE_INVALIDARG);
  ExpectUnaccepted();
}

TEST_F(EulaComTest, AllZeroUserIdIsReplacedAndAnyOtherKept) {
  SetString(kMachine, L"userid", kNoUserId);
  EXPECT_HR_OK(manager_->SaveAcceptingEulaSettings(nullptr));
  const auto fresh = GetString(kMachine, L"userid");
  ASSERT_TRUE(fresh);
  EXPECT_TRUE(IsUserIdForm(*fresh)) << *fresh;
  EXPECT_NE(*fresh, kNoUserId);

  // Called again, the identifier it made is kept; so is one written with braces.
  EXPECT_HR_OK(manager_->SaveAcceptingEulaSettings(nullptr));
  EXPECT_EQ(GetString(kMachine, L"userid"), fresh);
  const std::wstring braced = L"{" + *fresh + L"}";
  SetString(kMachine, L"userid", braced);
  EXPECT_HR_OK(manager_->SaveAcceptingEulaSettings(nullptr));
  EXPECT_EQ(GetString(kMachine, L"userid"), braced);
}

TEST_F(EulaComTest, ProxiesSavedJustBeforeAreRemoved) {
  SetString(kMachine, L"userid", L"kept");
  ASSERT_HR_OK(manager_->SaveProxySettings(Blob(ByteString({0x08, 0x01})).get()));
  ASSERT_TRUE(HasValue(kMachine, L"ProxySettings"));
  EXPECT_HR_OK(manager_->SaveAcceptingEulaSettings(nullptr));
  EXPECT_FALSE(HasValue(kMachine, L"ProxySettings"));
  EXPECT_FALSE(HasValue(kUser, L"ProxySettings"));
  EXPECT_EQ(GetString(kMachine, L"userid"), L"kept");
}

TEST_F(EulaComTest, MissingMachineRootFailsAtTheTermsValueAndWritesNoUserId) {
  eula_test::DeleteTree(kMachine);
  EXPECT_HR_EQ(manager_->SaveAcceptingEulaSettings(nullptr), static_cast<HRESULT>(0x80070002));
  EXPECT_FALSE(eula_test::KeyExists(kMachine));
  EXPECT_TRUE(HasValue(kUser, L"ProxySettings"));
}

}  // namespace
}  // namespace eula_test
}  // namespace ci
