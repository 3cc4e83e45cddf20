// Writer primitives: varints, tags and whole fields, into a flat buffer (the
// caller sized it; each returns the first byte past what it wrote) and onto a
// ByteChain. Both forms produce identical bytes, always the shortest varints.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "net/proto/wire_format.h"

class ByteChain;

// ---- flat buffer --------------------------------------------------------------

inline uint8_t* WriteVarint32ToArray(uint32_t value, uint8_t* out) {
  while (value >= 0x80) {
    *out++ = static_cast<uint8_t>(value | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<uint8_t>(value);
  return out;
}

inline uint8_t* WriteVarint64ToArray(uint64_t value, uint8_t* out) {
  while (value >= 0x80) {
    *out++ = static_cast<uint8_t>(value | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<uint8_t>(value);
  return out;
}

inline uint8_t* WriteTagToArray(uint32_t number, WireType type, uint8_t* out) {
  return WriteVarint32ToArray(MakeTag(number, type), out);
}

inline uint8_t* WriteBoolFieldToArray(uint32_t number, bool value, uint8_t* out) {
  out = WriteTagToArray(number, WIRETYPE_NUMERIC, out);
  *out++ = value ? 1 : 0;
  return out;
}

inline uint8_t* WriteFixed32FieldToArray(uint32_t number, int32_t value, uint8_t* out) {
  out = WriteTagToArray(number, WIRETYPE_FLOAT, out);
  const uint32_t v = static_cast<uint32_t>(value);
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
  return out + 4;
}

// Negative values are written sign-extended to 64 bits (ten bytes).
inline uint8_t* WriteInt32FieldToArray(uint32_t number, int32_t value, uint8_t* out) {
  out = WriteTagToArray(number, WIRETYPE_NUMERIC, out);
  return WriteVarint64ToArray(static_cast<uint64_t>(static_cast<int64_t>(value)), out);
}

inline uint8_t* WriteInt64FieldToArray(uint32_t number, int64_t value, uint8_t* out) {
  out = WriteTagToArray(number, WIRETYPE_NUMERIC, out);
  return WriteVarint64ToArray(static_cast<uint64_t>(value), out);
}

inline uint8_t* WriteDoubleFieldToArray(uint32_t number, double value, uint8_t* out) {
  out = WriteTagToArray(number, WIRETYPE_DOUBLE, out);
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
  return out + 8;
}

// Copies a few bytes with fixed-size moves the compiler inlines; host names and
// the like are short, and a library call would cost more than the copy.
inline void CopyBytes(uint8_t* to, const void* from, size_t length) {
  const uint8_t* src = static_cast<const uint8_t*>(from);
  if (length >= 8 && length <= 32) {
    // Two (or four) possibly overlapping 8- or 16-byte moves cover the range.
    if (length <= 16) {
      std::memcpy(to, src, 8);
      std::memcpy(to + length - 8, src + length - 8, 8);
    } else {
      std::memcpy(to, src, 16);
      std::memcpy(to + length - 16, src + length - 16, 16);
    }
  } else if (length < 8) {
    for (size_t i = 0; i < length; ++i) to[i] = src[i];
  } else {
    std::memcpy(to, src, length);
  }
}

inline uint8_t* WriteStringFieldToArray(uint32_t number, const void* bytes, size_t length,
                                        uint8_t* out) {
  out = WriteTagToArray(number, WIRETYPE_STRING, out);
  out = WriteVarint32ToArray(static_cast<uint32_t>(length), out);
  CopyBytes(out, bytes, length);
  return out + length;
}

// A null string object is written as an empty string.
inline uint8_t* WriteStringFieldToArray(uint32_t number, const std::string* value, uint8_t* out) {
  return value ? WriteStringFieldToArray(number, value->data(), value->size(), out)
               : WriteStringFieldToArray(number, nullptr, 0, out);
}

// ---- chain --------------------------------------------------------------------

void WriteVarint32(uint32_t value, ByteChain* chain);
void WriteVarint64(uint64_t value, ByteChain* chain);
void WriteTag(uint32_t number, WireType type, ByteChain* chain);
void WriteBoolField(uint32_t number, bool value, ByteChain* chain);
void WriteFixed32Field(uint32_t number, int32_t value, ByteChain* chain);
void WriteInt32Field(uint32_t number, int32_t value, ByteChain* chain);
void WriteInt64Field(uint32_t number, int64_t value, ByteChain* chain);
void WriteDoubleField(uint32_t number, double value, ByteChain* chain);
void WriteStringField(uint32_t number, const std::string* value, ByteChain* chain);

// ---- sizes --------------------------------------------------------------------

inline int32_t Int32FieldSize(uint32_t number, int32_t value) {
  return TagSize(number) + Varint64Size(static_cast<uint64_t>(static_cast<int64_t>(value)));
}
inline int32_t Int64FieldSize(uint32_t number, int64_t value) {
  return TagSize(number) + Varint64Size(static_cast<uint64_t>(value));
}
inline int32_t StringFieldSize(uint32_t number, const std::string* value) {
  const uint32_t length = value ? static_cast<uint32_t>(value->size()) : 0;
  return TagSize(number) + Varint32Size(length) + static_cast<int32_t>(length);
}
