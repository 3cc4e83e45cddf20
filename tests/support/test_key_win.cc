#include "tests/support/test_key_win.h"

#include <atomic>
#include <string>

#include "tests/support/registry_win.h"

namespace ci {
namespace test {

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

}  // namespace test
}  // namespace ci
