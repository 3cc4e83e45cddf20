// Helpers shared by the generated message classes.
#pragma once

#include <cstdint>
#include <string>

#include "net/proto/message_type.h"
#include "net/proto/message_type_registry.h"

// The empty string returned for an absent string field.
const std::string& EmptyProtoString();

inline int32_t SetBitCount(uint32_t bits) {
#if defined(__GNUC__) || defined(__clang__)
  return __builtin_popcount(bits);
#else
  int32_t n = 0;
  for (; bits; bits &= bits - 1) ++n;
  return n;
#endif
}

// Memory a string member accounts for: the object and its buffer when present,
// only the reference when absent.
inline int32_t StringFootprint(const std::string* value) {
  return static_cast<int32_t>(value ? value->capacity() + sizeof(std::string) + sizeof(void*) : sizeof(void*));
}

// A class's static data, in the order it is built at start: the type record,
// its registration, then the default instance. Destroyed in reverse at exit.
template <typename Message>
struct GeneratedStatics {
  GeneratedStatics(const char* name, const FieldInfo* fields, int32_t entry_count,
                   const FieldInfo* const* by_number, int32_t highest_number, const FieldInfo* const* by_name)
      : type(name, 0, fields, entry_count, by_number, highest_number, by_name), registration(&type) {}

  MessageType type;
  ScopedTypeRegistration registration;
  Message default_instance;
};
