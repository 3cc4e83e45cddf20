#include "eula_test_support.h"

#include <vector>

namespace ci {
namespace eula_test {
namespace {

std::wstring Beside(const wchar_t* file_name) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  directory.resize(directory.find_last_of(L'\\') + 1);
  return directory + file_name;
}

void SetValue(const Key& key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ::RegSetKeyValueW(key.root, key.path.c_str(), name, type, data, size);
}

}  // namespace

std::u16string Key::KeyPath() const {
  const wchar_t* root_name = root == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU";
  std::wstring text = std::wstring(root_name) + L"\\" + path;
  return std::u16string(text.begin(), text.end());
}

void SetString(const Key& key, const wchar_t* name, const std::wstring& text) {
  SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDword(const Key& key, const wchar_t* name, DWORD value) {
  SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

void SetBinary(const Key& key, const wchar_t* name, const std::string& bytes) {
  SetValue(key, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::optional<std::wstring> GetString(const Key& key, const wchar_t* name) {
  DWORD size = 0;
  if (::RegGetValueW(key.root, key.path.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
  if (::RegGetValueW(key.root, key.path.c_str(), name, RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(text.data());
}

bool HasValue(const Key& key, const wchar_t* name) {
  return ::RegGetValueW(key.root, key.path.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

bool KeyExists(const Key& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(key.root, key.path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  ::RegCloseKey(opened);
  return true;
}

void DeleteTree(const Key& key) {
  ::RegDeleteTreeW(key.root, key.path.c_str());  // values and sub-keys
  ::RegDeleteKeyW(key.root, key.path.c_str());
}

InstallFolder::InstallFolder(const std::wstring& version) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  base_ = std::wstring(temp) + L"vu eula " + std::to_wstring(::GetCurrentProcessId()) + L"_" +
          std::to_wstring(::GetTickCount());
  install_dir_ = base_ + L"\\install dir";
  version_dir_ = install_dir_ + L"\\" + version;
  ready_ = ::CreateDirectoryW(base_.c_str(), nullptr) &&
           ::CreateDirectoryW(install_dir_.c_str(), nullptr) &&
           (version.empty() || ::CreateDirectoryW(version_dir_.c_str(), nullptr)) &&
           ::CopyFileW(Beside(L"vufirstboot.exe").c_str(), (version_dir_ + L"\\vufirstboot.exe").c_str(),
                       FALSE);
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

}  // namespace eula_test
}  // namespace ci
