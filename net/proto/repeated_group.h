// The list of entries of a repeated group inside a message: references to
// records of their own, four of them inside the owning object, growing to
// capacity + capacity/4 + 1 when full. Clearing keeps every record (cleared) for
// reuse, so decoding again into a cleared message allocates no records.
#pragma once

#include <cstdint>
#include <new>

template <typename Record>
class RepeatedGroup {
 public:
  static constexpr int32_t kInlineCapacity = 4;

  RepeatedGroup() = default;
  ~RepeatedGroup() {
    for (int32_t i = 0; i < allocated_; ++i) delete records_[i];
    if (records_ != inline_) delete[] records_;
  }
  RepeatedGroup(const RepeatedGroup&) = delete;
  RepeatedGroup& operator=(const RepeatedGroup&) = delete;

  // Entries in use.
  int32_t size() const { return size_; }
  // Records allocated, in use or kept for reuse.
  int32_t allocated() const { return allocated_; }
  // Room for references before the list must grow.
  int32_t capacity() const { return capacity_; }

  const Record& Get(int32_t index) const { return *records_[index]; }
  Record* Mutable(int32_t index) { return records_[index]; }

  // The next kept record, or a new one; null when out of memory.
  Record* Add() {
    if (size_ < allocated_) return records_[size_++];
    return AddNew();
  }

  // Clears the entries in use and keeps them; records past them are already clear.
  void Clear() {
    for (int32_t i = 0; i < size_; ++i) records_[i]->Clear();
    size_ = 0;
  }

  // The records and, once the list has left the owning object, its reference array.
  int32_t MemoryFootprint() const {
    int32_t size = records_ != inline_ ? capacity_ * static_cast<int32_t>(sizeof(Record*)) : 0;
    for (int32_t i = 0; i < allocated_; ++i) size += records_[i]->MemoryFootprint();
    return size;
  }

 private:
  // Add's slow path, kept out of line so that taking a kept record stays inline.
#if defined(__GNUC__) || defined(__clang__)
  __attribute__((noinline))
#endif
  Record*
  AddNew() {
    if (allocated_ == capacity_ && !Grow()) return nullptr;
    Record* record = new (std::nothrow) Record;
    if (!record) return nullptr;
    records_[allocated_++] = record;
    ++size_;
    return record;
  }

  bool Grow() {
    const int32_t grown_capacity = capacity_ + capacity_ / 4 + 1;
    Record** grown = new (std::nothrow) Record*[grown_capacity];
    if (!grown) return false;
    for (int32_t i = 0; i < allocated_; ++i) grown[i] = records_[i];
    if (records_ != inline_) delete[] records_;
    records_ = grown;
    capacity_ = grown_capacity;
    return true;
  }

  Record* inline_[kInlineCapacity] = {};
  Record** records_ = inline_;
  int32_t size_ = 0;
  int32_t allocated_ = 0;
  int32_t capacity_ = kInlineCapacity;
};
