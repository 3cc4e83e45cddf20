#include "test_key.h"

#include <atomic>

namespace ci {
namespace testing {

TestKey::TestKey(HKEY root) : root_(root) {
  static std::atomic<int> counter{0};
  const std::string id = std::to_string(::GetCurrentProcessId()) + "-" +
                         std::to_string(::GetTickCount64()) + "-" + std::to_string(++counter);
  sub_key_ = u"Software\\VuPrefsTest\\" + WString(id.begin(), id.end());
}

TestKey::~TestKey() {
  DeleteTree(root_, sub_key_);
  ::RegDeleteKeyW(root_, L"Software\\VuPrefsTest");  // only succeeds once it is empty
}

WString TestKey::path() const {
  return (root_ == HKEY_LOCAL_MACHINE ? u"HKLM\\" : u"HKCU\\") + sub_key_;
}

bool KeyExists(HKEY root, const WString& sub_key) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, AsWin(sub_key), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

bool ReadRaw(HKEY root, const WString& sub_key, const WString& name, RawValue* value) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, AsWin(sub_key), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG status = ::RegQueryValueExW(key, AsWin(name), nullptr, &value->type, nullptr, &size);
  value->bytes.assign(size, 0);
  if (status == ERROR_SUCCESS && size > 0) {
    status = ::RegQueryValueExW(key, AsWin(name), nullptr, &value->type, value->bytes.data(), &size);
    value->bytes.resize(size);
  }
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteRaw(HKEY root, const WString& sub_key, const WString& name, DWORD type,
              const void* data, DWORD size) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, AsWin(sub_key), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status =
      ::RegSetValueExW(key, AsWin(name), 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool DeleteTree(HKEY root, const WString& sub_key) {
  ::RegDeleteTreeW(root, AsWin(sub_key));
  ::RegDeleteKeyW(root, AsWin(sub_key));
  return !KeyExists(root, sub_key);
}

}  // namespace testing
}  // namespace ci
