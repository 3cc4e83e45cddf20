// VelmorUpdaterAdminPrefs.exe /RegServer and /UnregServer on the machine's
// registration, run as a separate process whose whole exit code is read here.
#include <windows.h>
#include <oleauto.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "admin_prefs/registration/registrar_win.h"
#include "admin_prefs/registration/registration.h"
#include "ci/base/win_handles.h"
#include "ci/base/paths.h"
#include "tests/admin_prefs/registration/self_relative_descriptor.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/processes_win.h"
#include "tests/support/registry_win.h"

namespace ci {
namespace {

using test::KeyExists;
using test::ReadString;
using testing::UnorderedElementsAre;

const WString kClasses = u"SOFTWARE\\Classes";
const WString kClassKey = kClasses + u"\\CLSID\\" + kAdminPrefsClsid;
const WString kAppIdKey = kClasses + u"\\AppID\\" + kAdminPrefsAppId;
const WString kFileNameKey = kClasses + u"\\AppID\\VelmorUpdaterAdminPrefs.exe";
const WString kProgIdKey = kClasses + u"\\AdminPrefsManager.AdminPrefsManagerCtl";
const WString kVersionedProgIdKey = kProgIdKey + u".1";
const WString kInterfaceKey = WString(u"Interface\\") + kAdminPrefsIid;
const WString kTypeLibKey = WString(u"TypeLib\\") + kAdminPrefsLibId;

WString ServerPath() {
  return test::FullPath(test::TestDirectory() + u"\\" VU_SERVER_RELATIVE_PATH);
}

HResult RunServer(const WString& exe, const WString& arguments) {
  return test::RunAndWait(test::Quoted(exe) + u" " + arguments);
}

bool TypeLibRegistered() {
  CLSID lib_id = {};
  WString text = kAdminPrefsLibId;
  if (FAILED(::CLSIDFromString(AsWin(text), &lib_id))) return false;
  ComPtr<ITypeLib> lib;
  if (FAILED(::LoadRegTypeLib(lib_id, 1, 0, 0, &lib))) return false;
  lib.Reset();
  return true;
}

// Removes every trace of the registration, whatever state a failed test left.
void ForgetRegistration() {
  for (const WString& key : {kClassKey, kAppIdKey, kFileNameKey, kProgIdKey, kVersionedProgIdKey}) {
    test::DeleteTree(HKEY_LOCAL_MACHINE, key);
  }
  test::DeleteTree(HKEY_CLASSES_ROOT, kInterfaceKey);
  test::DeleteTree(HKEY_CLASSES_ROOT, kTypeLibKey);
}

class RegistrationTest : public testing::Test {
 protected:
  void SetUp() override {
    ForgetRegistration();
    server_ = ServerPath();
    ASSERT_NE(::GetFileAttributesW(AsWin(server_)), INVALID_FILE_ATTRIBUTES) << "no server";
  }
  void TearDown() override { ForgetRegistration(); }

  void ExpectClassRegistration(const WString& exe) {
    const WString directory = exe.substr(0, exe.rfind(u'\\'));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey, u""), u"AdminPrefsManagerCtl Class");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey, u"AppID"), kAdminPrefsAppId);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey, u"LocalizedString"),
              u"@" + directory + u"\\cires.dll,-5323");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey + u"\\ProgID", u""),
              u"AdminPrefsManager.AdminPrefsManagerCtl.1");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey + u"\\VersionIndependentProgID", u""),
              u"AdminPrefsManager.AdminPrefsManagerCtl");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey + u"\\LocalServer32", u""),
              u"\"" + exe + u"\"");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey + u"\\TypeLib", u""), kAdminPrefsLibId);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey + u"\\Elevation", u"IconReference"),
              u"@" + exe + u",-3000");
    test::RawValue enabled;
    ASSERT_TRUE(
        test::ReadRaw(HKEY_LOCAL_MACHINE, kClassKey + u"\\Elevation", u"Enabled", &enabled));
    EXPECT_EQ(enabled.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(enabled.bytes, (std::vector<BYTE>{1, 0, 0, 0}));
    // One set: nothing but what the script names.
    EXPECT_THAT(test::SubKeyNames(HKEY_LOCAL_MACHINE, kClassKey),
                UnorderedElementsAre(u"Elevation", u"LocalServer32", u"ProgID", u"TypeLib",
                                     u"VersionIndependentProgID"));
    EXPECT_THAT(test::ValueNames(HKEY_LOCAL_MACHINE, kClassKey),
                UnorderedElementsAre(u"", u"AppID", u"LocalizedString"));
    EXPECT_THAT(test::ValueNames(HKEY_LOCAL_MACHINE, kClassKey + u"\\Elevation"),
                UnorderedElementsAre(u"Enabled", u"IconReference"));

    for (const WString& prog_id : {kProgIdKey, kVersionedProgIdKey}) {
      EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, prog_id, u""), u"AdminPrefsManagerCtl Class");
      EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, prog_id + u"\\CLSID", u""), kAdminPrefsClsid);
    }
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProgIdKey + u"\\CurVer", u""),
              u"AdminPrefsManager.AdminPrefsManagerCtl.1");
    EXPECT_THAT(test::SubKeyNames(HKEY_LOCAL_MACHINE, kProgIdKey),
                UnorderedElementsAre(u"CLSID", u"CurVer"));

    // The type library, and the automation marshaller for the interface.
    EXPECT_TRUE(TypeLibRegistered());
    const WString lib_path =
        kTypeLibKey + u"\\1.0\\0\\" + (sizeof(void*) == 8 ? u"win64" : u"win32");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib_path, u""), exe);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kInterfaceKey + u"\\ProxyStubClsid32", u""),
              u"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kInterfaceKey + u"\\TypeLib", u""), kAdminPrefsLibId);
  }

  WString server_;
};

// The owner, group and access list of the stored descriptor, as the platform
// writes them back as text.
WString DescriptorText(const BYTE* descriptor) {
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          const_cast<BYTE*>(descriptor), SDDL_REVISION_1,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          &text, nullptr)) {
    return u"<not convertible>";
  }
  const WString result = FromWin(text);
  ::LocalFree(text);
  return result;
}

void ExpectAccessPermission() {
  test::RawValue value;
  ASSERT_TRUE(test::ReadRaw(HKEY_CLASSES_ROOT, WString(u"AppID\\") + kAdminPrefsAppId,
                            u"AccessPermission", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_BINARY));
  std::vector<BYTE>& bytes = value.bytes;
  ASSERT_NO_FATAL_FAILURE(test::ExpectSelfRelativeDescriptor(bytes));

  // The same descriptor as the text form gives, compared through the platform's
  // own conversion both ways.
  PSECURITY_DESCRIPTOR expected = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      AsWin(kAccessPermissionSddl), SDDL_REVISION_1, &expected, nullptr));
  EXPECT_EQ(DescriptorText(bytes.data()), DescriptorText(static_cast<BYTE*>(expected)));
  ::LocalFree(expected);

  // Two allow entries of mask 0x3: interactive users, then the local system.
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(bytes.data(), &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl != nullptr);
  ASSERT_EQ(dacl->AceCount, 2);
  const WELL_KNOWN_SID_TYPE kSids[] = {WinInteractiveSid, WinLocalSystemSid};
  for (DWORD i = 0; i < 2; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Mask, 0x3u);
    EXPECT_TRUE(::IsWellKnownSid(&allowed->SidStart, kSids[i]));
  }
  PSID owner = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorOwner(bytes.data(), &owner, &defaulted));
  EXPECT_TRUE(::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
}

TEST_F(RegistrationTest, RegisterWritesBothScriptsThePermissionAndTheTypeLibrary) {
  ASSERT_HR_OK(RunServer(server_, u"/RegServer"));
  ExpectClassRegistration(server_);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kAppIdKey, u""),
            u"Velmor Updater Administrative Preferences Manager");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFileNameKey, u"AppID"), kAdminPrefsAppId);
  EXPECT_THAT(test::ValueNames(HKEY_LOCAL_MACHINE, kAppIdKey),
              UnorderedElementsAre(u"", u"AccessPermission"));
  ExpectAccessPermission();
}

TEST_F(RegistrationTest, RegisteringTwiceRebuildsTheClassKey) {
  ASSERT_HR_OK(RunServer(server_, u"-regserver"));
  test::SetString(HKEY_LOCAL_MACHINE, kClassKey, u"Stale", u"old");
  test::SetString(HKEY_LOCAL_MACHINE, kClassKey + u"\\Stale", u"", u"old");
  test::SetString(HKEY_LOCAL_MACHINE, kClassKey + u"\\LocalServer32", u"", u"C:\\old.exe");
  ASSERT_HR_OK(RunServer(server_, u"/REGSERVER"));
  ExpectClassRegistration(server_);  // the stale value and key are gone
  ExpectAccessPermission();
}

TEST_F(RegistrationTest, UnregisterRemovesAllButTheSharedKeys) {
  ASSERT_HR_OK(RunServer(server_, u"/RegServer"));
  ASSERT_HR_OK(RunServer(server_, u"-unregserver"));
  for (const WString& key : {kClassKey, kAppIdKey, kFileNameKey, kProgIdKey, kVersionedProgIdKey}) {
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << testing::PrintToString(key);
  }
  EXPECT_FALSE(TypeLibRegistered());
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey));
  for (const WString& key : {kClasses, kClasses + u"\\AppID", kClasses + u"\\CLSID"}) {
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key)) << testing::PrintToString(key);
  }
}

// The server's own two scripts, moved from HKLM\SOFTWARE to a key of this test's
// own, where the keys they never remove (Classes, Classes\AppID, Classes\CLSID)
// hold nothing else: unregistration must leave them, empty. On the machine's
// registry those keys always hold other classes and would survive anyway.
TEST_F(RegistrationTest, UnregistrationKeepsNeverRemovedKeysEvenWhenEmpty) {
  const WString name =
      u"VelmorUnregistrationTest-" + FromWin(std::to_wstring(::GetCurrentProcessId()).c_str());
  const WString base = u"Software\\" + name;
  test::DeleteTree(HKEY_CURRENT_USER, base);
  Registrar registrar;
  const std::pair<const char16_t*, WString> replacements[] = {
      {u"APPID", kAdminPrefsAppId},
      {u"DESCRIPTION", u"Test"},
      {u"FILENAME", u"Test.exe"},
      {u"PROGID", kAdminPrefsProgId},
      {u"VERSION", u"1"},
      {u"CLSID", kAdminPrefsClsid},
      {u"LIBID", kAdminPrefsLibId},
      {u"RESOURCE_DLL_MODULE", u"C:\\x\\cires.dll"},
      {u"STRINGRESID", u"5323"},
      {u"ICONRESID", u"3000"},
      {u"Module", ModuleReplacement(server_)},
      {u"Module_Raw", ModuleRawReplacement(server_)}};
  for (const auto& pair : replacements) registrar.AddReplacement(pair.first, pair.second);

  const int kScriptIds[2] = {kAppIdScriptId, kClassScriptId};
  WString scripts[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_HR_OK(LoadScriptResource(server_, kScriptIds[i], &scripts[i]));
    WString& text = scripts[i];
    const std::size_t root = text.find(u"HKLM");
    const std::size_t software = text.find(u"NoRemove SOFTWARE");
    ASSERT_NE(root, WString::npos);
    ASSERT_NE(software, WString::npos);
    text.replace(software, 17, u"NoRemove Software { NoRemove '" + name + u"'");
    text.replace(root, 4, u"HKCU");
    text += u" }";
  }
  WindowsScriptRegistry registry;
  ASSERT_HR_OK(registrar.RunScript(scripts[0], ScriptAction::kRegister, registry));
  ASSERT_HR_OK(registrar.RunScript(scripts[1], ScriptAction::kRegister, registry));
  const WString classes = base + u"\\Classes";
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, classes + u"\\CLSID"),
              UnorderedElementsAre(kAdminPrefsClsid));
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, classes + u"\\AppID"),
              UnorderedElementsAre(kAdminPrefsAppId, u"Test.exe"));

  ASSERT_HR_OK(registrar.RunScript(scripts[1], ScriptAction::kUnregister, registry));
  ASSERT_HR_OK(registrar.RunScript(scripts[0], ScriptAction::kUnregister, registry));
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, classes),
              UnorderedElementsAre(u"AppID", u"CLSID"));
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, classes + u"\\AppID"), testing::IsEmpty());
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, classes + u"\\CLSID"), testing::IsEmpty());
  test::DeleteTree(HKEY_CURRENT_USER, base);
}

TEST_F(RegistrationTest, ForeignSubKeyKeepsTheClassKey) {
  ASSERT_HR_OK(RunServer(server_, u"/RegServer"));
  test::SetString(HKEY_LOCAL_MACHINE, kClassKey + u"\\Foreign", u"", u"kept");
  ASSERT_HR_OK(RunServer(server_, u"/UnregServer"));
  ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey));
  EXPECT_THAT(test::SubKeyNames(HKEY_LOCAL_MACHINE, kClassKey), UnorderedElementsAre(u"Foreign"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey, u"AppID"), u"<missing>");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey, u"LocalizedString"), u"<missing>");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppIdKey));
}

TEST_F(RegistrationTest, MissingAppIdKeyFailsAfterTheServerPartWasRemoved) {
  ASSERT_HR_OK(RunServer(server_, u"/RegServer"));
  test::DeleteTree(HKEY_LOCAL_MACHINE, kAppIdKey);
  EXPECT_HR_EQ(RunServer(server_, u"/UnregServer"), kE_FILE_NOT_FOUND);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProgIdKey));
  EXPECT_FALSE(TypeLibRegistered());
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kFileNameKey));  // the AppID script did not run
}

// A copy of the server in a folder whose name has spaces, a hyphen and a single
// quote; removed again at the end.
class InstalledCopyTest : public RegistrationTest {
 protected:
  void SetUp() override {
    RegistrationTest::SetUp();
    folder_ = test::TestDirectory() + u"\\Velmor's Admin-Prefs copy " +
              FromWin(std::to_wstring(::GetCurrentProcessId()).c_str());
    copy_ = folder_ + u"\\VelmorUpdaterAdminPrefs.exe";
    version_folder_ = folder_ + u"\\" + kProgramVersionFolder;
    tlb_ = folder_ + u"\\VelmorUpdaterAdminPrefs.tlb";
    ASSERT_TRUE(::CreateDirectoryW(AsWin(folder_), nullptr));
    ASSERT_TRUE(::CopyFileW(AsWin(server_), AsWin(copy_), TRUE));
  }
  void TearDown() override {
    RegistrationTest::TearDown();
    ::RemoveDirectoryW(AsWin(version_folder_));
    ::DeleteFileW(AsWin(copy_));
    ::DeleteFileW(AsWin(tlb_));
    ::RemoveDirectoryW(AsWin(folder_));
  }

  WString folder_, copy_, version_folder_, tlb_;
};

TEST_F(InstalledCopyTest, PathWithSpacesAndQuoteIsRegisteredIntact) {
  ASSERT_HR_OK(RunServer(copy_, u"/RegServer"));
  ExpectClassRegistration(copy_);  // LocalServer32 quoted, IconReference not
  ASSERT_HR_OK(RunServer(copy_, u"/UnregServer"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey));
}

TEST_F(InstalledCopyTest, ResourceModuleInTheVersionFolderWhenItExists) {
  ASSERT_TRUE(::CreateDirectoryW(AsWin(version_folder_), nullptr));
  ASSERT_HR_OK(RunServer(copy_, u"/RegServer"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kClassKey, u"LocalizedString"),
            u"@" + version_folder_ + u"\\cires.dll,-5323");
  ASSERT_HR_OK(RunServer(copy_, u"/UnregServer"));
}

TEST_F(InstalledCopyTest, TypeLibraryFromTheTlbFileBesideAnExecutableWithoutOne) {
  // The same registration built without the embedded type library.
  ASSERT_TRUE(::CopyFileW(AsWin(test::TestDirectory() + u"\\registration_only_server.exe"),
                          AsWin(copy_), FALSE));

  // Without the file the type library step fails; the class keys stay written.
  EXPECT_TRUE(Failed(RunServer(copy_, u"/RegServer")));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey));
  EXPECT_FALSE(TypeLibRegistered());

  ASSERT_TRUE(::CopyFileW(AsWin(test::FullPath(test::TestDirectory() + u"\\" VU_TLB_RELATIVE_PATH)),
                          AsWin(tlb_), FALSE));
  ASSERT_HR_OK(RunServer(copy_, u"/RegServer"));
  EXPECT_TRUE(TypeLibRegistered());
  const WString lib_path = kTypeLibKey + u"\\1.0\\0\\" + (sizeof(void*) == 8 ? u"win64" : u"win32");
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib_path, u""), tlb_);
  ASSERT_HR_OK(RunServer(copy_, u"/UnregServer"));
  EXPECT_FALSE(TypeLibRegistered());
}

}  // namespace
}  // namespace ci
