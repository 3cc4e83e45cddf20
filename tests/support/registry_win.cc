#include "tests/support/registry_win.h"

#include <cstring>

#include "ci/base/win_handles.h"

namespace ci {
namespace test {
namespace {

const wchar_t* ValueName(const WString& name) { return name.empty() ? nullptr : AsWin(name); }

UniqueKey OpenForReading(HKEY root, const WString& sub_key) {
  UniqueKey key;
  if (::RegOpenKeyExW(root, AsWin(sub_key), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    key.release();  // nothing was opened
  }
  return key;
}

}  // namespace

bool KeyExists(HKEY root, const WString& sub_key) { return bool(OpenForReading(root, sub_key)); }

bool ReadRaw(HKEY root, const WString& sub_key, const WString& name, RawValue* value) {
  const UniqueKey key = OpenForReading(root, sub_key);
  if (!key) return false;
  for (;;) {
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), ValueName(name), nullptr, &value->type, nullptr, &size) !=
        ERROR_SUCCESS) {
      return false;
    }
    value->bytes.assign(size, 0);
    const LONG read = ::RegQueryValueExW(key.get(), ValueName(name), nullptr, &value->type,
                                         value->bytes.data(), &size);
    if (read == ERROR_MORE_DATA) continue;  // grew meanwhile
    if (read != ERROR_SUCCESS) return false;
    value->bytes.resize(size);  // may have shrunk meanwhile
    return true;
  }
}

bool HasValue(HKEY root, const WString& sub_key, const WString& name) {
  RawValue value;
  return ReadRaw(root, sub_key, name, &value);
}

std::optional<WString> ReadStringValue(HKEY root, const WString& sub_key, const WString& name) {
  RawValue value;
  if (!ReadRaw(root, sub_key, name, &value) || value.type != REG_SZ) return std::nullopt;
  WString text(value.bytes.size() / sizeof(WChar), u'\0');
  if (!text.empty()) std::memcpy(&text[0], value.bytes.data(), text.size() * sizeof(WChar));
  const size_t end = text.find(u'\0');
  if (end != WString::npos) text.resize(end);
  return text;
}

WString ReadString(HKEY root, const WString& sub_key, const WString& name) {
  if (!KeyExists(root, sub_key)) return u"<no key>";
  RawValue value;
  if (!ReadRaw(root, sub_key, name, &value)) return u"<missing>";
  if (value.type != REG_SZ)
    return u"<type " + WString(1, static_cast<WChar>(u'0' + value.type)) + u">";
  return *ReadStringValue(root, sub_key, name);
}

bool WriteRaw(HKEY root, const WString& sub_key, const WString& name, DWORD type, const void* data,
              DWORD size) {
  UniqueKey key;
  if (::RegCreateKeyExW(root, AsWin(sub_key), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return ::RegSetValueExW(key.get(), ValueName(name), 0, type, static_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS;
}

bool SetString(HKEY root, const WString& sub_key, const WString& name, const WString& text) {
  return WriteRaw(root, sub_key, name, REG_SZ, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(WChar)));
}

bool SetDword(HKEY root, const WString& sub_key, const WString& name, DWORD value) {
  return WriteRaw(root, sub_key, name, REG_DWORD, &value, sizeof(value));
}

bool SetBinary(HKEY root, const WString& sub_key, const WString& name, const std::string& bytes) {
  return WriteRaw(root, sub_key, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool CreateKey(HKEY root, const WString& sub_key) {
  UniqueKey key;
  return ::RegCreateKeyExW(root, AsWin(sub_key), 0, nullptr, 0, KEY_READ, nullptr, key.put(),
                           nullptr) == ERROR_SUCCESS;
}

bool CreateVolatileKey(HKEY root, const WString& sub_key) {
  UniqueKey key;
  return ::RegCreateKeyExW(root, AsWin(sub_key), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key.put(), nullptr) == ERROR_SUCCESS;
}

bool DeleteValue(HKEY root, const WString& sub_key, const WString& name) {
  UniqueKey key;
  if (::RegOpenKeyExW(root, AsWin(sub_key), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) {
    key.release();  // nothing was opened
    return false;
  }
  return ::RegDeleteValueW(key.get(), ValueName(name)) == ERROR_SUCCESS;
}

bool DeleteTree(HKEY root, const WString& sub_key) {
  ::RegDeleteTreeW(root, AsWin(sub_key));  // values and sub-keys
  ::RegDeleteKeyW(root, AsWin(sub_key));
  return !KeyExists(root, sub_key);
}

std::vector<WString> SubKeyNames(HKEY root, const WString& sub_key) {
  std::vector<WString> names;
  const UniqueKey key = OpenForReading(root, sub_key);
  if (!key) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = ARRAYSIZE(name);
    if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.push_back(FromWin(name, length));
  }
  return names;
}

std::vector<WString> ValueNames(HKEY root, const WString& sub_key) {
  std::vector<WString> names;
  const UniqueKey key = OpenForReading(root, sub_key);
  if (!key) return names;
  std::vector<wchar_t> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (::RegEnumValueW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.push_back(FromWin(name.data(), length));
  }
  return names;
}

}  // namespace test
}  // namespace ci
