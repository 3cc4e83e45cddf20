// Seams on the program's own heap use: this library replaces the global
// operator new and delete, so link it only into the test programs that use it.
// Both seams act on the calling thread alone (the test's servers run on others)
// and only while their scope lasts.
//
//   {
//     FailingAllocations failing(3);  // the fourth allocation from here on fails
//     ... code under test ...
//   }
//   {
//     ReleasedMemoryWatch watch(u"a password");
//     ... code under test ...
//     EXPECT_EQ(watch.blocks_holding_marker(), 0u);
//   }
#pragma once

#include <cstddef>
#include <string>

namespace ci::test {

// From the allocation after the first `allowed` on, every allocation of this
// thread fails (operator new throws std::bad_alloc, the nothrow forms give null).
class FailingAllocations {
 public:
  explicit FailingAllocations(std::size_t allowed);
  ~FailingAllocations();
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;

  // Whether an allocation was refused so far.
  bool refused_any() const;
};

// Counts the blocks this thread releases that still hold `marker` (as UTF-16
// text, anywhere in the block): what was not wiped before it went back.
class ReleasedMemoryWatch {
 public:
  explicit ReleasedMemoryWatch(const std::u16string& marker);
  ~ReleasedMemoryWatch();
  ReleasedMemoryWatch(const ReleasedMemoryWatch&) = delete;
  ReleasedMemoryWatch& operator=(const ReleasedMemoryWatch&) = delete;

  std::size_t blocks_holding_marker() const;
};

}  // namespace ci::test
