// A disposable registry key of one test.
#pragma once

#include <windows.h>

#include "ci/base/wide_string.h"

namespace ci {
namespace test {

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
  // The sub-key path below the root, e.g. "Software\VuPrefsTest-1234-5678-1".
  const WString& sub_key() const { return sub_key_; }
  // The whole key path, e.g. "HKCU\Software\VuPrefsTest-1234-5678-1".
  WString path() const;

 private:
  HKEY root_;
  WString sub_key_;
};

}  // namespace test
}  // namespace ci
