// The state of one decode over a contiguous byte range, and the readers the
// generated message classes are built from. Every reader checks the bounds of the
// input; none reads a byte outside it, and the input is never written.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

class ByteChain;

class Decoder {
 public:
  // Unknown groups nested deeper than this fail the parse. Skipping is
  // iterative, so the bound only limits the small table of open group numbers
  // kept on the stack; it does not depend on the call stack.
  static constexpr int kMaxGroupDepth = 100;

  // `length` below 0 is taken as an empty input.
  Decoder(const uint8_t* data, int32_t length)
      : pos_(data), end_(data + (length > 0 ? length : 0)) {}

  // The next tag, or 0 when no byte is left, when the next byte is 0x00 (which
  // is consumed), or when the tag varint is malformed (nothing is consumed).
  uint32_t ReadTag() {
    if (pos_ < end_ && *pos_ < 0x80) return *pos_++;
    return ReadTagSlow();
  }

  // Consumes `tag` (of at most two varint bytes) when the input continues with
  // exactly its encoding.
  bool ExpectTag(uint32_t tag) {
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
  bool ReadBool(bool* value) {
    if (pos_ < end_ && *pos_ < 0x80) {
      *value = *pos_++ != 0;
      return true;
    }
    return ReadBoolSlow(value);
  }
  // Four bytes, little-endian, as a signed 32-bit value.
  bool ReadFixed32(int32_t* value) {
    if (end_ - pos_ < 4) return false;
    *value = static_cast<int32_t>(static_cast<uint32_t>(pos_[0]) | static_cast<uint32_t>(pos_[1]) << 8 |
                                  static_cast<uint32_t>(pos_[2]) << 16 | static_cast<uint32_t>(pos_[3]) << 24);
    pos_ += 4;
    return true;
  }
  bool ReadDouble(double* value);
  // The 5-byte form or the sign-extended 10-byte form of a 32-bit value.
  bool ReadInt32(int32_t* value);
  bool ReadInt64(int64_t* value);
  // Replaces the content of `*slot` with the string's bytes, creating the
  // string object when `*slot` is null.
  bool ReadString(std::string** slot);
  bool ReadString(std::string* value);

  // Raw varints: at most 5 bytes (the 5th below 0x80, bits above 31 dropped)
  // and at most 10 bytes (the 10th below 0x80, only its lowest bit kept).
  bool ReadVarint32(uint32_t* value);
  bool ReadVarint64(uint64_t* value);

  // Steps over the value of the field that `tag` introduced; a start-group tag
  // steps over the whole group, nested groups included.
  bool SkipField(uint32_t tag);
  // Skips the value of `tag` and appends the tag (shortest form) and the value's
  // bytes, exactly as they stand, to `*chain`, which is created when null.
  bool StoreUnknownField(uint32_t tag, ByteChain** chain);

  int32_t BytesLeft() const { return static_cast<int32_t>(end_ - pos_); }
  bool AtEnd() const { return pos_ == end_; }

 private:
  uint32_t ReadTagSlow();
  bool ReadBoolSlow(bool* value);
  bool Skip(int32_t count) {
    if (end_ - pos_ < count) return false;
    pos_ += count;
    return true;
  }

  const uint8_t* pos_;
  const uint8_t* end_;
};
