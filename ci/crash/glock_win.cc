#include "ci/crash/glock.h"

#include "ci/crash/mutex_creators_win.h"

namespace ci {

GLock::GLock(const wchar_t* name, SECURITY_ATTRIBUTES* attributes) {
  ResolveExtendedCreators();
  mutex_.reset(CreateNamedMutex(ProcessExtendedCreators(), name, attributes));
}

GLock::~GLock() = default;

bool GLock::Lock() { return Lock(INFINITE); }

bool GLock::Lock(DWORD timeout_ms) {
  if (!mutex_) return false;
  const DWORD wait = ::WaitForSingleObject(mutex_.get(), timeout_ms);
  return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

bool GLock::Unlock() { return mutex_ && ::ReleaseMutex(mutex_.get()) != FALSE; }

}  // namespace ci
