// Helpers shared by the generated message classes.
#pragma once

#include <cstdint>
#include <new>
#include <string>

#include "net/proto/decoder.h"
#include "net/proto/message_type.h"
#include "net/proto/message_type_registry.h"
#include "net/proto/wire_writer.h"

// The empty string returned for an absent string field.
const std::string& EmptyProtoString();

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
