// The Win32 mutex behind UnnamedMutex keeps two threads out of each other.
#include <gtest/gtest.h>

#include "mutex_overlap.h"
#include "net/proto/unnamed_mutex.h"

namespace {

TEST(UnnamedMutexWinTest, SerialisesTwoThreads) {
  UnnamedMutex mutex;
  EXPECT_FALSE(TwoThreadsWereEverInsideAtOnce(mutex));
}

}  // namespace
