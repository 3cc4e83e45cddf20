#include <windows.h>

#include "ci/base/win_handles.h"
#include "net/proto/unnamed_mutex.h"

struct UnnamedMutex::Impl {
  ci::UniqueHandle handle;
};

UnnamedMutex::UnnamedMutex() : impl_(new Impl) {
  impl_->handle.reset(::CreateMutexW(nullptr, FALSE, nullptr));
}

// The handle is closed by its owner.
UnnamedMutex::~UnnamedMutex() = default;

void UnnamedMutex::Lock() {
  if (impl_->handle) ::WaitForSingleObject(impl_->handle.get(), INFINITE);
}

void UnnamedMutex::Unlock() {
  if (impl_->handle) ::ReleaseMutex(impl_->handle.get());
}
