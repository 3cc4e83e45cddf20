#include "ci/prefs/reg_key.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "ci/base/hresult.h"
#include "ci/prefs/key_paths.h"
#include "ci/prefs/stored_value.h"

namespace ci {
namespace {

HResult FromStatus(LONG status) { return HResultFromWin32(static_cast<std::int32_t>(status)); }

HKEY PredefinedKey(RootKeyId id) {
  switch (id) {
    case RootKeyId::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RootKeyId::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RootKeyId::kUsers:
      return HKEY_USERS;
    case RootKeyId::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RootKeyId::kUnknown:
      break;
  }
  return nullptr;
}

enum class KeyMode { kCreate, kRead, kAllAccess };

// Opens (or creates) the key of `key_path` into `key`; an unknown root touches
// nothing and gives ERROR_PATH_NOT_FOUND.
HResult OpenKeyPath(const WString& key_path, KeyMode mode, RegKey* key) {
  WString sub_key;
  HKEY root = nullptr;
  VU_RETURN_IF(!WithoutThrowing([&] {
    sub_key = key_path;
    root = RegKey::ParseRootKey(&sub_key);
  }),
               kE_OUTOFMEMORY);
  if (root == nullptr) return kE_PATH_NOT_FOUND;
  switch (mode) {
    case KeyMode::kCreate:
      return key->Create(root, sub_key);
    case KeyMode::kRead:
      return key->Open(root, sub_key, KEY_READ);
    case KeyMode::kAllAccess:
      return key->Open(root, sub_key, KEY_ALL_ACCESS);
  }
  return kE_INVALIDARG;
}

// The frame of the set and get operations: a successful value operation takes the
// result of closing the key, so a failed close is not hidden.
template <typename ValueOperation>
HResult WithKeyPath(const WString& key_path, KeyMode mode, ValueOperation operation) {
  RegKey key;
  VU_RETURN_IF_FAILED(OpenKeyPath(key_path, mode, &key));
  const HResult hr = operation(key);
  if (hr != kS_OK) return hr;
  return key.Close();
}

// One SHQueryValueExW read of at most `*size` bytes into `data` (null: size only).
HResult QueryValue(HKEY key, const WString& value_name, DWORD* type, void* data, DWORD* size) {
  return FromStatus(::SHQueryValueExW(key, AsWin(value_name), nullptr, type, data, size));
}

constexpr HResult kE_MORE_DATA = static_cast<HResult>(0x800700EAu);  // ERROR_MORE_DATA

// Reads an integer value stored as `kType` with exactly its size. A value of any
// other type or size (text "0" would read as 0x30) reads as absent: the result
// of a missing value, with `*value` unchanged.
template <DWORD kType, typename Integer>
HResult QueryInteger(RegKey& key, const WString& value_name, Integer* value) {
  std::uint8_t bytes[sizeof(std::uint64_t)] = {};  // room for either integer
  DWORD type = REG_NONE;
  DWORD size = sizeof(bytes);
  const HResult hr = QueryValue(key.handle(), value_name, &type, bytes, &size);
  VU_RETURN_IF(hr == kE_MORE_DATA, kE_FILE_NOT_FOUND);  // longer than any integer
  VU_RETURN_IF_FAILED(hr);
  VU_RETURN_IF(type != kType || size != sizeof(Integer), kE_FILE_NOT_FOUND);
  std::memcpy(value, bytes, sizeof(Integer));
  return kS_OK;
}

}  // namespace

RegKey::~RegKey() { Close(); }

HResult RegKey::Close() {
  if (key_ == nullptr) return kS_OK;
  const LONG status = ::RegCloseKey(key_);
  key_ = nullptr;
  return FromStatus(status);
}

HResult RegKey::Adopt(HKEY key) {
  const HResult hr = Close();
  key_ = key;
  return hr;
}

HResult RegKey::Create(HKEY parent, const WString& sub_key) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG status = ::RegCreateKeyExW(parent, AsWin(sub_key), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return FromStatus(status);
  return Adopt(key);
}

HResult RegKey::Open(HKEY parent, const WString& sub_key, REGSAM access) {
  HKEY key = nullptr;
  const LONG status = ::RegOpenKeyExW(parent, AsWin(sub_key), 0, access, &key);
  if (status != ERROR_SUCCESS) return FromStatus(status);
  return Adopt(key);
}

HResult RegKey::SetBinaryValue(const WString& value_name, const void* data, DWORD byte_count) {
  if (data == nullptr) byte_count = 0;
  return FromStatus(::RegSetValueExW(key_, AsWin(value_name), 0, REG_BINARY,
                                     static_cast<const BYTE*>(data), byte_count));
}

HResult RegKey::DeleteValue(const WString& value_name) {
  const HResult hr = FromStatus(::RegDeleteValueW(key_, AsWin(value_name)));
  if (hr == kE_FILE_NOT_FOUND || hr == kE_PATH_NOT_FOUND) return kS_FALSE;
  return hr;
}

HResult RegKey::QueryStringValue(const WString& value_name, WString* text) {
  text->clear();
  DWORD size = 0;
  VU_RETURN_IF_FAILED(QueryValue(key_, value_name, nullptr, nullptr, &size));
  if (size == 0) return kS_OK;
  // Room for an odd trailing byte and a terminator beyond what the value holds;
  // the text is cut at its first zero character, so it is always terminated.
  std::vector<WChar> buffer;
  try {
    buffer.assign(size / 2 + 2, 0);
  } catch (const std::bad_alloc&) {
    return kE_OUTOFMEMORY;
  }
  DWORD got = static_cast<DWORD>(buffer.size() * sizeof(WChar));
  VU_RETURN_IF_FAILED(QueryValue(key_, value_name, nullptr, buffer.data(), &got));
  const std::size_t chars = std::min<std::size_t>(got / sizeof(WChar), buffer.size());
  const auto end = std::find(buffer.begin(), buffer.begin() + chars, WChar{0});
  text->assign(buffer.begin(), end);
  return kS_OK;
}

HResult RegKey::QueryBinaryValue(const WString& value_name, std::vector<std::uint8_t>* bytes,
                                 DWORD* type) {
  bytes->clear();
  DWORD size = 0;
  VU_RETURN_IF_FAILED(QueryValue(key_, value_name, type, nullptr, &size));
  if (size == 0) return kS_OK;
  std::vector<std::uint8_t> buffer;
  try {
    buffer.resize(size);
  } catch (const std::bad_alloc&) {
    return kE_OUTOFMEMORY;
  }
  DWORD got = size;
  VU_RETURN_IF_FAILED(QueryValue(key_, value_name, type, buffer.data(), &got));
  buffer.resize(std::min<std::size_t>(got, buffer.size()));
  bytes->swap(buffer);
  return kS_OK;
}

HKEY RegKey::ParseRootKey(WString* key_path) { return PredefinedKey(SplitKeyPath(key_path)); }

HResult RegKey::SetValue(const WString& key_path, const WString& value_name, DWORD type,
                         const void* data, DWORD byte_count) {
  return WithKeyPath(key_path, KeyMode::kCreate, [&](RegKey& key) -> HResult {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    DWORD size = byte_count;
    DWORD dword = 0;
    ULONGLONG qword = 0;
    switch (type) {
      case REG_SZ: {
        const wchar_t* text = data != nullptr ? static_cast<const wchar_t*>(data) : L"";
        bytes = reinterpret_cast<const BYTE*>(text);
        size = static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t));
        break;
      }
      case REG_BINARY:
        return key.SetBinaryValue(value_name, data, byte_count);
      case REG_DWORD:
        if (data == nullptr) return kE_POINTER;
        std::memcpy(&dword, data, sizeof(dword));
        bytes = reinterpret_cast<const BYTE*>(&dword);
        size = sizeof(dword);
        break;
      case REG_QWORD:
        if (data == nullptr) return kE_POINTER;
        std::memcpy(&qword, data, sizeof(qword));
        bytes = reinterpret_cast<const BYTE*>(&qword);
        size = sizeof(qword);
        break;
      case REG_MULTI_SZ:
        if (data == nullptr) size = 0;
        break;
      default:
        return kE_DATATYPE_MISMATCH;
    }
    return FromStatus(::RegSetValueExW(key.handle(), AsWin(value_name), 0, type, bytes, size));
  });
}

HResult RegKey::GetValue(const WString& key_path, const WString& value_name, WString* text) {
  text->clear();
  return WithKeyPath(key_path, KeyMode::kRead,
                     [&](RegKey& key) { return key.QueryStringValue(value_name, text); });
}

HResult RegKey::GetValue(const WString& key_path, const WString& value_name,
                         std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  return WithKeyPath(key_path, KeyMode::kRead, [&](RegKey& key) {
    DWORD type = REG_NONE;
    return key.QueryBinaryValue(value_name, bytes, &type);
  });
}

HResult RegKey::GetValue(const WString& key_path, const WString& value_name, DWORD* value) {
  return WithKeyPath(key_path, KeyMode::kRead,
                     [&](RegKey& key) { return QueryInteger<REG_DWORD>(key, value_name, value); });
}

HResult RegKey::GetValue(const WString& key_path, const WString& value_name, std::uint64_t* value) {
  return WithKeyPath(key_path, KeyMode::kRead,
                     [&](RegKey& key) { return QueryInteger<REG_QWORD>(key, value_name, value); });
}

HResult RegKey::GetValue(const WString& key_path, const WString& value_name,
                         std::vector<WString>* list) {
  list->clear();
  return WithKeyPath(key_path, KeyMode::kRead, [&](RegKey& key) -> HResult {
    std::vector<std::uint8_t> bytes;
    DWORD type = REG_NONE;
    VU_RETURN_IF_FAILED(key.QueryBinaryValue(value_name, &bytes, &type));
    // Copied into characters so that the block is read as UTF-16 units, aligned.
    std::vector<WChar> chars((bytes.size() + 1) / 2, 0);
    if (!bytes.empty()) std::memcpy(chars.data(), bytes.data(), bytes.size());
    return ci::SplitMultiString(bytes.size(), chars.data(), list);
  });
}

HResult RegKey::GetValue(const WString& key_path, const WString& value_name, DWORD type,
                         void* out) {
  if (out == nullptr) return kE_POINTER;
  switch (type) {
    case REG_SZ:
      return GetValue(key_path, value_name, static_cast<WString*>(out));
    case REG_BINARY:
      return GetValue(key_path, value_name, static_cast<std::vector<std::uint8_t>*>(out));
    case REG_DWORD:
      return GetValue(key_path, value_name, static_cast<DWORD*>(out));
    case REG_QWORD:
      return GetValue(key_path, value_name, static_cast<std::uint64_t*>(out));
    case REG_MULTI_SZ:
      return GetValue(key_path, value_name, static_cast<std::vector<WString>*>(out));
    default:
      break;
  }
  // Unsupported types are refused once the key is known to be readable.
  return WithKeyPath(key_path, KeyMode::kRead, [](RegKey&) { return kE_DATATYPE_MISMATCH; });
}

HResult RegKey::DeleteValue(const WString& key_path, const WString& value_name) {
  RegKey key;
  VU_RETURN_IF_FAILED(OpenKeyPath(key_path, KeyMode::kAllAccess, &key));
  // The deletion decides the result; the key is closed by the destructor.
  return key.DeleteValue(value_name);
}

bool RegKey::HasValue(const WString& key_path, const WString& value_name) {
  RegKey key;
  if (Failed(OpenKeyPath(key_path, KeyMode::kRead, &key))) return false;
  return ::RegQueryValueExW(key.handle(), AsWin(value_name), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

HResult RegKey::SplitMultiString(std::size_t byte_count, const WChar* chars,
                                 std::vector<WString>* list) {
  return ci::SplitMultiString(byte_count, chars, list);
}

}  // namespace ci
