// Constants of the binary wire format: wire types, declared types, labels, and
// the tag arithmetic shared by the decoder, the writers and the generated classes.
#pragma once

#include <cstdint>

// How a value is laid out on the wire (the low three bits of a tag).
enum WireType : int32_t {
  WIRETYPE_NUMERIC = 0,     // varint
  WIRETYPE_DOUBLE = 1,      // 8 bytes, little-endian
  WIRETYPE_STRING = 2,      // varint length, then the bytes
  WIRETYPE_STARTGROUP = 3,  // fields up to the matching end-group tag
  WIRETYPE_ENDGROUP = 4,    // closes the group of the same field number
  WIRETYPE_FLOAT = 5,       // 4 bytes, little-endian
};

// The type a field was declared with in its schema.
enum DeclaredType : int32_t {
  TYPE_DOUBLE = 1,
  TYPE_FLOAT = 2,
  TYPE_INT64 = 3,
  TYPE_UINT64 = 4,
  TYPE_INT32 = 5,
  TYPE_FIXED64 = 6,
  TYPE_FIXED32 = 7,
  TYPE_BOOL = 8,
  TYPE_STRING = 9,
  TYPE_GROUP = 10,
  TYPE_FOREIGN = 11,
};

enum Label : int32_t {
  LABEL_OPTIONAL = 1,
  LABEL_REQUIRED = 2,
  LABEL_REPEATED = 3,
};

constexpr uint32_t MakeTag(uint32_t number, WireType type) {
  return (number << 3) | static_cast<uint32_t>(type);
}
constexpr uint32_t TagFieldNumber(uint32_t tag) { return tag >> 3; }
constexpr uint32_t TagWireType(uint32_t tag) { return tag & 7u; }

// Bytes of the shortest varint form of a value.
constexpr int32_t Varint32Size(uint32_t value) {
  return value < (1u << 7)    ? 1
         : value < (1u << 14) ? 2
         : value < (1u << 21) ? 3
         : value < (1u << 28) ? 4
                              : 5;
}
constexpr int32_t Varint64Size(uint64_t value) {
  int32_t size = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++size;
  }
  return size;
}
constexpr int32_t TagSize(uint32_t number) {
  return Varint32Size(MakeTag(number, WIRETYPE_NUMERIC));
}
