// A lock shared by every process of the machine through a named mutex.
#pragma once

#include <windows.h>

#include "ci/base/win_handles.h"
#include "ci/crash/lockable.h"

namespace ci {

class GLock : public Lockable {
 public:
  // Creates (or opens) the mutex `name`; a failed creation leaves no handle and
  // every wait then fails at once. Construction itself never fails.
  explicit GLock(const wchar_t* name, SECURITY_ATTRIBUTES* attributes = nullptr);
  GLock(const GLock&) = delete;
  GLock& operator=(const GLock&) = delete;

  // Waits without limit through the virtual Lock(timeout_ms), so a subclass that
  // overrides the timed form changes both.
  bool Lock() override;
  bool Unlock() override;
  ~GLock() override;
  // True when the wait ends with the mutex owned, also when its previous owner
  // died holding it; false on time-out or failure.
  virtual bool Lock(DWORD timeout_ms);

  bool has_handle() const { return static_cast<bool>(mutex_); }

 private:
  UniqueHandle mutex_;
};

}  // namespace ci
