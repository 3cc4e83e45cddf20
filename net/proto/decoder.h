// The state of one decode over a contiguous byte range, and the readers the
// generated message classes are built from. Every reader checks the bounds of the
// input; none reads a byte outside it, and the input is never written.
//
// A Decoder is two pointers and cheap to copy. The generated parsers work on a
// local copy, and the out-of-line slow paths take and return positions by value,
// so that the position can stay in a register throughout a parse.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

class ByteChain;

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
