// What the generated message classes are built from: the string-member helpers,
// the has-bit count, RepeatedGroup (the list of a repeated group's records) and
// the classes' static data.
#pragma once

#include <cstdint>
#include <new>
#include <string>

#include "net/proto/message_type.h"
#include "net/proto/message_type_registry.h"
#include "net/proto/wire_codec.h"

// The empty string returned for an absent string field. Never destroyed, so that
// it stays valid while static data is torn down at exit.
inline const std::string& EmptyProtoString() {
  static const std::string* const empty = new std::string;
  return *empty;
}

// Number of set bits; plain arithmetic, so no library call on targets without a
// population-count instruction.
inline int32_t SetBitCount(uint32_t bits) {
  bits = bits - ((bits >> 1) & 0x55555555u);
  bits = (bits & 0x33333333u) + ((bits >> 2) & 0x33333333u);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0Fu;
  return static_cast<int32_t>((bits * 0x01010101u) >> 24);
}

// String members are pointers, null until the first write constructs the object
// in room the message reserves for it, so creating one never allocates.
inline std::string* ConstructStringIn(std::string** slot, unsigned char* storage) {
  if (!*slot) *slot = new (storage) std::string;
  return *slot;
}

inline void DestroyString(std::string* value) {
  using std::string;
  if (value) value->~string();
}

// Reads a length-prefixed string into a string member, constructing the object
// only when the whole string is in the input.
VU_DECODER_READER bool ReadStringInto(Decoder* decoder, std::string** slot,
                                      unsigned char* storage) {
  const uint8_t* bytes;
  int32_t length;
  if (!decoder->ReadStringBytes(&bytes, &length)) return false;
  std::string* const value = ConstructStringIn(slot, storage);
  const size_t n = static_cast<size_t>(length);
  if (n <= value->size()) {
    // A cleared record keeps its old bytes (see the generated Clear): overwrite
    // and shorten in place, both inline, rather than a library call per string.
    CopyBytes(reinterpret_cast<uint8_t*>(&(*value)[0]), bytes, n);
    value->erase(n);
  } else {
    // The bytes never overlap the string, so assign's overlap handling is only cost.
    value->clear();
    value->append(reinterpret_cast<const char*>(bytes), n);
  }
  return true;
}

// Memory a string member accounts for: the object and its buffer when present,
// only the reference when absent.
inline int32_t StringFootprint(const std::string* value) {
  return static_cast<int32_t>(value ? value->capacity() + sizeof(std::string) + sizeof(void*)
                                    : sizeof(void*));
}

// The list of entries of a repeated group inside a message: references to
// records of their own, four of them inside the owning object, growing to
// capacity + capacity/4 + 1 when full. Clearing keeps every record (cleared) for
// reuse, so decoding again into a cleared message allocates no records.
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

// A class's static data, in the order it is built at start: the type record,
// its registration, then the default instance. Destroyed in reverse at exit.
template <typename Message>
struct GeneratedStatics {
  GeneratedStatics(const char* name, const FieldInfo* fields, int32_t entry_count,
                   const FieldInfo* const* by_number, int32_t highest_number,
                   const FieldInfo* const* by_name, const uint8_t* self_description,
                   int32_t self_description_size)
      : type(name, 0, fields, entry_count, by_number, highest_number, by_name, self_description,
             self_description_size),
        registration(&type) {}

  MessageType type;
  ScopedTypeRegistration registration;
  Message default_instance;
};
