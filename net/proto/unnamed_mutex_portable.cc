#include <mutex>

#include "net/proto/unnamed_mutex.h"

struct UnnamedMutex::Impl {
  std::mutex mutex;
};

UnnamedMutex::UnnamedMutex() : impl_(new Impl) {}
UnnamedMutex::~UnnamedMutex() = default;
void UnnamedMutex::Lock() { impl_->mutex.lock(); }
void UnnamedMutex::Unlock() { impl_->mutex.unlock(); }
