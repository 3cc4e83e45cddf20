// The Win32 mutex behind UnnamedMutex keeps two threads out of each other.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/proto/unnamed_mutex.h"

namespace {

TEST(UnnamedMutexWinTest, SerialisesTwoThreads) {
  UnnamedMutex mutex;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  auto work = [&] {
    for (int i = 0; i < 2000; ++i) {
      UnnamedMutexLock lock(mutex);
      if (inside.fetch_add(1) != 0) overlap = true;
      ::Sleep(0);
      inside.fetch_sub(1);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_FALSE(overlap);
}

}  // namespace
