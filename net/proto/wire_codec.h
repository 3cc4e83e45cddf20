// The binary wire codec: the format's constants and tag arithmetic, the Decoder
// the generated parsers are built from, and the writers (flat buffer and
// ByteChain) with their size helpers.
//
// Every reader checks the bounds of the input; none reads a byte outside it, and
// the input is never written. A Decoder is two pointers and cheap to copy. The
// generated parsers work on a local copy, and the out-of-line slow paths take and
// return positions by value, so that the position can stay in a register
// throughout a parse.
//
// The writers produce identical bytes in both forms, always the shortest varints.
// Those into a flat buffer write into room the caller sized, each returning the
// first byte past what it wrote.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

class ByteChain;

// ---- wire format ----------------------------------------------------------------

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

// ---- decoder ------------------------------------------------------------------

// The readers' fast paths are forced inline: a reader left out of line takes
// the Decoder's address, which keeps the position in memory for the whole parse.
#if defined(__GNUC__) || defined(__clang__)
#define VU_DECODER_READER inline __attribute__((always_inline))
#else
#define VU_DECODER_READER inline
#endif

class Decoder {
 public:
  // Unknown groups nested deeper than this fail the parse. Skipping is
  // iterative, so the bound only limits the small table of open group numbers
  // kept on the stack; it does not depend on the call stack.
  static constexpr int kMaxGroupDepth = 100;

  // `length` below 0, or null `data`, is taken as an empty input. The position
  // is never null, since parsers hand back a null position for failure.
  Decoder(const uint8_t* data, int32_t length)
      : pos_(data ? data : kNoBytes), end_(data && length > 0 ? data + length : pos_) {}

  // Goes on with a decode that stopped at `pos` of a range ending at `end`:
  // the generated group parsers take and hand back bare positions, so that no
  // Decoder's address escapes and the position can stay in a register.
  static Decoder Resume(const uint8_t* pos, const uint8_t* end) { return Decoder(pos, end); }
  const uint8_t* position() const { return pos_; }
  const uint8_t* limit() const { return end_; }
  // `pos` must lie between the current position and the end.
  void AdvanceTo(const uint8_t* pos) { pos_ = pos; }

  // The next tag, or 0 when no byte is left, when the next byte is 0x00 (which
  // is consumed), or when the tag varint is malformed (nothing is consumed).
  VU_DECODER_READER uint32_t ReadTag() {
    if (pos_ == end_) return 0;
    if (*pos_ < 0x80) return *pos_++;
    // Two-byte tags (field numbers 16 to 2047) without the general reader.
    if (end_ - pos_ >= 2 && pos_[1] < 0x80) {
      const uint32_t tag = (pos_[0] & 0x7Fu) | static_cast<uint32_t>(pos_[1]) << 7;
      pos_ += 2;
      return tag;
    }
    const Step s = Varint32At(pos_, end_);
    if (!s.pos) return 0;
    pos_ = s.pos;
    return static_cast<uint32_t>(s.value);
  }

  // Consumes `tag` (of at most two varint bytes) when the input continues with
  // exactly its encoding.
  VU_DECODER_READER bool ExpectTag(uint32_t tag) {
    if (tag < 0x80) {
      if (pos_ < end_ && *pos_ == tag) {
        ++pos_;
        return true;
      }
      return false;
    }
    if (end_ - pos_ >= 2 && pos_[0] == ((tag & 0x7F) | 0x80) && pos_[1] == (tag >> 7)) {
      pos_ += 2;
      return true;
    }
    return false;
  }

  // Any nonzero value reads as true; a varint beyond the sign-extended 32-bit
  // range fails.
  VU_DECODER_READER bool ReadBool(bool* value) {
    if (pos_ < end_ && *pos_ < 0x80) {
      *value = *pos_++ != 0;
      return true;
    }
    const Step s = Varint64At(pos_, end_);
    if (!s.pos || !IsSignExtended32(s.value)) return false;
    pos_ = s.pos;
    *value = s.value != 0;
    return true;
  }
  // Four bytes, little-endian, as a signed 32-bit value.
  VU_DECODER_READER bool ReadFixed32(int32_t* value) {
    if (end_ - pos_ < 4) return false;
    *value = static_cast<int32_t>(
        static_cast<uint32_t>(pos_[0]) | static_cast<uint32_t>(pos_[1]) << 8 |
        static_cast<uint32_t>(pos_[2]) << 16 | static_cast<uint32_t>(pos_[3]) << 24);
    pos_ += 4;
    return true;
  }
  // Eight bytes, little-endian, as an IEEE double.
  VU_DECODER_READER bool ReadDouble(double* value) {
    if (end_ - pos_ < 8) return false;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | pos_[i];
    std::memcpy(value, &bits, sizeof bits);
    pos_ += 8;
    return true;
  }
  // The 5-byte form or the sign-extended 10-byte form of a 32-bit value.
  VU_DECODER_READER bool ReadInt32(int32_t* value) {
    if (pos_ < end_ && *pos_ < 0x80) {
      *value = *pos_++;
      return true;
    }
    const Step s = Int32At(pos_, end_);
    if (!s.pos) return false;
    pos_ = s.pos;
    *value = static_cast<int32_t>(s.value);
    return true;
  }
  bool ReadInt64(int64_t* value) {
    const Step s = Varint64At(pos_, end_);
    if (!s.pos) return false;
    pos_ = s.pos;
    *value = static_cast<int64_t>(s.value);
    return true;
  }
  // Raw varints: at most 5 bytes (the 5th below 0x80, bits above 31 dropped)
  // and at most 10 bytes (the 10th below 0x80, only its lowest bit kept).
  bool ReadVarint32(uint32_t* value) {
    const Step s = Varint32At(pos_, end_);
    if (!s.pos) return false;
    pos_ = s.pos;
    *value = static_cast<uint32_t>(s.value);
    return true;
  }
  bool ReadVarint64(uint64_t* value) {
    const Step s = Varint64At(pos_, end_);
    if (!s.pos) return false;
    pos_ = s.pos;
    *value = s.value;
    return true;
  }

  // A length-prefixed string: its bytes stay in the input and are handed out
  // only when the whole length is there. A negative length fails.
  VU_DECODER_READER bool ReadStringBytes(const uint8_t** bytes, int32_t* length) {
    uint64_t n;
    const uint8_t* p;
    if (pos_ < end_ && *pos_ < 0x80) {
      n = *pos_;
      p = pos_ + 1;
    } else {
      const Step s = Varint32At(pos_, end_);
      if (!s.pos) return false;
      n = s.value;
      p = s.pos;
      if (static_cast<int32_t>(n) < 0) return false;
    }
    if (static_cast<int64_t>(n) > end_ - p) return false;
    *bytes = p;
    *length = static_cast<int32_t>(n);
    pos_ = p + n;
    return true;
  }
  // Replaces the content of `value` with the string's bytes.
  bool ReadString(std::string* value) {
    const uint8_t* bytes;
    int32_t length;
    if (!ReadStringBytes(&bytes, &length)) return false;
    value->assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    return true;
  }

  // Steps over the value of the field that `tag` introduced; a start-group tag
  // steps over the whole group, nested groups included.
  bool SkipField(uint32_t tag) {
    const uint8_t* p = SkipFieldAt(pos_, end_, tag);
    if (!p) return false;
    pos_ = p;
    return true;
  }
  // Skips the value of `tag` and appends the tag (shortest form) and the value's
  // bytes, exactly as they stand, to `*chain`, which is created when null.
  VU_DECODER_READER bool StoreUnknownField(uint32_t tag, ByteChain** chain) {
    const uint8_t* p = StoreUnknownFieldAt(pos_, end_, tag, chain);
    if (!p) return false;
    pos_ = p;
    return true;
  }

  int32_t BytesLeft() const { return static_cast<int32_t>(end_ - pos_); }
  bool AtEnd() const { return pos_ == end_; }

 private:
  // A read's new position (null when the read failed) and its value.
  struct Step {
    const uint8_t* pos;
    uint64_t value;
  };

  Decoder(const uint8_t* pos, const uint8_t* end) : pos_(pos), end_(end) {}

  static constexpr uint8_t kNoBytes[1] = {0};

  static bool IsSignExtended32(uint64_t value) {
    const int64_t v = static_cast<int64_t>(value);
    return v == static_cast<int32_t>(v);
  }
  static Step Varint32At(const uint8_t* p, const uint8_t* end);
  static Step Varint64At(const uint8_t* p, const uint8_t* end);
  static Step Int32At(const uint8_t* p, const uint8_t* end);
  static const uint8_t* SkipFieldAt(const uint8_t* p, const uint8_t* end, uint32_t tag);
  static const uint8_t* StoreUnknownFieldAt(const uint8_t* p, const uint8_t* end, uint32_t tag,
                                            ByteChain** chain);

  const uint8_t* pos_;
  const uint8_t* end_;
};

// ---- writers: flat buffer ------------------------------------------------------

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

// ---- writers: chain ------------------------------------------------------------

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
