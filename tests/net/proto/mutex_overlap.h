// Whether two threads, each taking `mutex` 2,000 times and yielding inside it,
// were ever inside it at once: the check of every lock the codec's types use.
#pragma once

#include <atomic>
#include <thread>

#include "net/proto/unnamed_mutex.h"

inline bool TwoThreadsWereEverInsideAtOnce(UnnamedMutex& mutex) {
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  auto work = [&] {
    for (int i = 0; i < 2000; ++i) {
      UnnamedMutexLock hold(mutex);
      if (inside.fetch_add(1) != 0) overlap = true;
      std::this_thread::yield();
      inside.fetch_sub(1);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  return overlap;
}
