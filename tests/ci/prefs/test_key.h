// A disposable registry key of one test, and raw reads and writes that check the
// registry layer against the platform's own calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/wide_string.h"

namespace ci {
namespace testing {

// A key below HKEY_CURRENT_USER (or HKEY_LOCAL_MACHINE) named uniquely for this
// process and instance; the constructor creates nothing, the destructor removes the
// key with everything below it.
class TestKey {
 public:
  explicit TestKey(HKEY root = HKEY_CURRENT_USER);
  ~TestKey();
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  HKEY root() const { return root_; }
  // The sub-key path below the root, e.g. "Software\VuPrefsTest\1234-1".
  const WString& sub_key() const { return sub_key_; }
  // The whole key path, e.g. "HKCU\Software\VuPrefsTest\1234-1".
  WString path() const;

 private:
  HKEY root_;
  WString sub_key_;
};

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> bytes;
};

bool KeyExists(HKEY root, const WString& sub_key);
// Reads a value with RegQueryValueExW; false when the key or value is missing.
bool ReadRaw(HKEY root, const WString& sub_key, const WString& name, RawValue* value);
// Writes a value with RegSetValueExW, creating the key.
bool WriteRaw(HKEY root, const WString& sub_key, const WString& name, DWORD type,
              const void* data, DWORD size);
// Removes a key with everything below it; true when it is gone afterwards.
bool DeleteTree(HKEY root, const WString& sub_key);

}  // namespace testing
}  // namespace ci
