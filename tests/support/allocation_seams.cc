#include "tests/support/allocation_seams.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace ci::test {
namespace {

// Every block carries its size in front, so that a release can look at it.
constexpr std::size_t kHeader = alignof(std::max_align_t) > sizeof(std::size_t)
                                    ? alignof(std::max_align_t)
                                    : sizeof(std::size_t);

struct ThreadSeams {
  bool failing = false;
  std::size_t allowed = 0;
  bool refused = false;
  const char16_t* marker = nullptr;  // watched while not null
  std::size_t marker_length = 0;
  std::size_t holding_marker = 0;
};

thread_local ThreadSeams seams;

void* Allocate(std::size_t size) noexcept {
  if (seams.failing) {
    if (seams.allowed == 0) {
      seams.refused = true;
      return nullptr;
    }
    --seams.allowed;
  }
  char* block = static_cast<char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof(size));
  return block + kHeader;
}

bool HoldsMarker(const char* bytes, std::size_t size) {
  const std::size_t marker_bytes = seams.marker_length * sizeof(char16_t);
  if (marker_bytes == 0 || size < marker_bytes) return false;
  for (std::size_t at = 0; at + marker_bytes <= size; ++at) {
    if (std::memcmp(bytes + at, seams.marker, marker_bytes) == 0) return true;
  }
  return false;
}

void Release(void* pointer) noexcept {
  if (pointer == nullptr) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  if (seams.marker != nullptr) {
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof(size));
    if (HoldsMarker(static_cast<char*>(pointer), size)) ++seams.holding_marker;
  }
  std::free(block);
}

void* AllocateOrThrow(std::size_t size) {
  void* pointer = Allocate(size);
  if (pointer == nullptr) throw std::bad_alloc();
  return pointer;
}

}  // namespace

FailingAllocations::FailingAllocations(std::size_t allowed) {
  seams.allowed = allowed;
  seams.refused = false;
  seams.failing = true;
}
FailingAllocations::~FailingAllocations() { seams.failing = false; }
bool FailingAllocations::refused_any() const { return seams.refused; }

ReleasedMemoryWatch::ReleasedMemoryWatch(const std::u16string& marker) {
  // Kept in a block of its own, outside the watch (released unwatched).
  char16_t* copy = static_cast<char16_t*>(std::malloc((marker.size() + 1) * sizeof(char16_t)));
  if (copy != nullptr) std::memcpy(copy, marker.c_str(), (marker.size() + 1) * sizeof(char16_t));
  seams.marker_length = copy != nullptr ? marker.size() : 0;
  seams.holding_marker = 0;
  seams.marker = copy;
}
ReleasedMemoryWatch::~ReleasedMemoryWatch() {
  const char16_t* marker = seams.marker;
  seams.marker = nullptr;
  std::free(const_cast<char16_t*>(marker));
}
std::size_t ReleasedMemoryWatch::blocks_holding_marker() const { return seams.holding_marker; }

}  // namespace ci::test

// The replaced global forms; the aligned forms keep the library's own pairing.
void* operator new(std::size_t size) { return ci::test::AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return ci::test::AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return ci::test::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ci::test::Allocate(size);
}
void operator delete(void* pointer) noexcept { ci::test::Release(pointer); }
void operator delete[](void* pointer) noexcept { ci::test::Release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { ci::test::Release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { ci::test::Release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { ci::test::Release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
  ci::test::Release(pointer);
}
