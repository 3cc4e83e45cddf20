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
  // A key of its own right under Software, not below a shared parent: a test
  // process that deleted an emptied shared parent could do so between another
  // process creating that parent and creating its own key below it.
  sub_key_ = u"Software\\VuPrefsTest-" + WString(id.begin(), id.end());
}

TestKey::~TestKey() { DeleteTree(root_, sub_key_); }

WString TestKey::path() const {
  return (root_ == HKEY_LOCAL_MACHINE ? u"HKLM\\" : u"HKCU\\") + sub_key_;
}

}  // namespace test
}  // namespace ci
