#include "eula_test_support.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/processes_win.h"
#include "tests/support/registry_win.h"

namespace ci {
namespace eula_test {
namespace {

WString Path(const Key& key) { return FromWin(key.path.c_str()); }

const std::string kStoredProxy("\x08\x01\x73\x7C\x91\xB4", 6);

}  // namespace

std::u16string Key::KeyPath() const {
  const wchar_t* root_name = root == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU";
  std::wstring text = std::wstring(root_name) + L"\\" + path;
  return std::u16string(text.begin(), text.end());
}

void SetString(const Key& key, const wchar_t* name, const std::wstring& text) {
  test::SetString(key.root, Path(key), FromWin(name), FromWin(text.c_str()));
}

void SetDword(const Key& key, const wchar_t* name, DWORD value) {
  test::SetDword(key.root, Path(key), FromWin(name), value);
}

void SetBinary(const Key& key, const wchar_t* name, const std::string& bytes) {
  test::SetBinary(key.root, Path(key), FromWin(name), bytes);
}

std::optional<std::wstring> GetString(const Key& key, const wchar_t* name) {
  const std::optional<WString> text = test::ReadStringValue(key.root, Path(key), FromWin(name));
  if (!text) return std::nullopt;
  return std::wstring(AsWin(*text), text->size());
}

bool HasValue(const Key& key, const wchar_t* name) {
  return test::HasValue(key.root, Path(key), FromWin(name));
}

bool KeyExists(const Key& key) { return test::KeyExists(key.root, Path(key)); }

void DeleteTree(const Key& key) { test::DeleteTree(key.root, Path(key)); }

InstallFolder::InstallFolder(const std::wstring& version) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  // A count of its own: two folders made within one tick of the clock must differ.
  static std::atomic<unsigned> made{0};
  base_ = std::wstring(temp) + L"vu eula " + std::to_wstring(::GetCurrentProcessId()) + L"_" +
          std::to_wstring(::GetTickCount()) + L"_" + std::to_wstring(++made);
  install_dir_ = base_ + L"\\install dir";
  version_dir_ = install_dir_ + L"\\" + version;
  ready_ = ::CreateDirectoryW(base_.c_str(), nullptr) &&
           ::CreateDirectoryW(install_dir_.c_str(), nullptr) &&
           (version.empty() || ::CreateDirectoryW(version_dir_.c_str(), nullptr)) &&
           ::CopyFileW(AsWin(test::BesideTestProgram(u"vufirstboot.exe")),
                       (version_dir_ + L"\\vufirstboot.exe").c_str(), FALSE);
}

InstallFolder::~InstallFolder() {
  // The stand-in may still be running; give it the time to finish.
  if (HasMarker(L"ran")) WaitForMarker(L"done", 5000);
  for (const wchar_t* name : {L"vufirstboot.exe", L"vufirstboot.ran", L"vufirstboot.done"}) {
    ::DeleteFileW((version_dir_ + L"\\" + name).c_str());
  }
  ::RemoveDirectoryW(version_dir_.c_str());
  ::RemoveDirectoryW(install_dir_.c_str());
  ::RemoveDirectoryW(base_.c_str());
}

bool InstallFolder::HasMarker(const wchar_t* marker) const {
  const std::wstring path = version_dir_ + L"\\vufirstboot." + marker;
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool InstallFolder::WaitForMarker(const wchar_t* marker, DWORD timeout_ms) const {
  const DWORD start = ::GetTickCount();
  while (!HasMarker(marker)) {
    if (::GetTickCount() - start > timeout_ms) return false;
    ::Sleep(20);
  }
  return true;
}

bool IsUserIdForm(const std::wstring& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != L'-') return false;
    } else if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) {
      return false;
    }
  }
  return true;
}

void WriteUnacceptedInstallation(const Key& machine, const Key& user) {
  SetDword(machine, L"offline", 1);
  SetString(machine, L"no_eula", L"1");
  SetDword(machine, L"tc_accpt", 0);
  SetBinary(machine, L"ProxySettings", kStoredProxy);
  SetBinary(user, L"ProxySettings", kStoredProxy);
}

void WriteInstall(const Key& machine, const InstallFolder& folder, const std::wstring& version) {
  SetString(machine, L"install_dir", folder.install_dir());
  SetString(machine, L"version", version);
}

void ExpectAccepted(const Key& machine, const Key& user) {
  EXPECT_FALSE(HasValue(machine, L"offline"));
  EXPECT_FALSE(HasValue(machine, L"no_eula"));
  EXPECT_FALSE(HasValue(machine, L"tc_accpt"));
  const auto user_id = GetString(machine, L"userid");
  ASSERT_TRUE(user_id);
  EXPECT_TRUE(IsUserIdForm(*user_id)) << *user_id;
  EXPECT_FALSE(HasValue(machine, L"ProxySettings"));
  EXPECT_FALSE(HasValue(user, L"ProxySettings"));
}

void ExpectUnaccepted(const Key& machine, const Key& user) {
  EXPECT_TRUE(HasValue(machine, L"offline"));
  EXPECT_TRUE(HasValue(machine, L"no_eula"));
  EXPECT_TRUE(HasValue(machine, L"tc_accpt"));
  EXPECT_TRUE(HasValue(machine, L"ProxySettings"));
  EXPECT_TRUE(HasValue(user, L"ProxySettings"));
}

}  // namespace eula_test
}  // namespace ci
