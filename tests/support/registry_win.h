// Registry reads and writes for the Windows tests, straight through the platform's
// calls: independent of the product's registry layer, so that they can check it.
// Keys are a predefined root and a sub-key path; an empty value name is the key's
// default value.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ci/base/wide_string.h"

namespace ci {
namespace test {

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> bytes;
};

bool KeyExists(HKEY root, const WString& sub_key);
// The value's type and bytes, exactly as long as the value read: a value that
// another process rewrites between the size and the data query is read again.
// False when the key or the value is missing.
bool ReadRaw(HKEY root, const WString& sub_key, const WString& name, RawValue* value);
bool HasValue(HKEY root, const WString& sub_key, const WString& name);
// The text of a REG_SZ value (up to its terminator); nothing when it is missing or
// of another type.
std::optional<WString> ReadStringValue(HKEY root, const WString& sub_key, const WString& name);
// The same for comparisons that should say why they failed: the text, or
// "<no key>", "<missing>", "<type N>".
WString ReadString(HKEY root, const WString& sub_key, const WString& name);

// Writes a value, creating the key; true when written.
bool WriteRaw(HKEY root, const WString& sub_key, const WString& name, DWORD type, const void* data,
              DWORD size);
bool SetString(HKEY root, const WString& sub_key, const WString& name, const WString& text);
bool SetDword(HKEY root, const WString& sub_key, const WString& name, DWORD value);
bool SetBinary(HKEY root, const WString& sub_key, const WString& name, const std::string& bytes);
// Creates a key (and the keys above it) when it is not there; true when it is.
bool CreateKey(HKEY root, const WString& sub_key);
// Creates a key that lives only until the registry is unloaded; below it no
// lasting key can be created. True when created.
bool CreateVolatileKey(HKEY root, const WString& sub_key);
// Removes one value; true when it was there.
bool DeleteValue(HKEY root, const WString& sub_key, const WString& name);
// Removes a key with everything below it; true when it is gone afterwards.
bool DeleteTree(HKEY root, const WString& sub_key);

// Names of the sub-keys, or of the values ("" for the default value).
std::vector<WString> SubKeyNames(HKEY root, const WString& sub_key);
std::vector<WString> ValueNames(HKEY root, const WString& sub_key);

}  // namespace test
}  // namespace ci
