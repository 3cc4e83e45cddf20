#include "net/proto/decoder.h"

#include "net/proto/byte_chain.h"
#include "net/proto/wire_format.h"
#include "net/proto/wire_writer.h"

namespace {

bool IsSignExtended32(uint64_t value) {
  const int64_t v = static_cast<int64_t>(value);
  return v == static_cast<int32_t>(v);
}

}  // namespace

bool Decoder::ReadVarint32(uint32_t* value) {
  const uint8_t* p = pos_;
  uint32_t result = 0;
  for (int i = 0; i < 4; ++i) {
    if (p == end_) return false;
    const uint8_t b = *p++;
    result |= static_cast<uint32_t>(b & 0x7F) << (7 * i);
    if (b < 0x80) {
      pos_ = p;
      *value = result;
      return true;
    }
  }
  if (p == end_ || *p >= 0x80) return false;
  result |= static_cast<uint32_t>(*p++) << 28;
  pos_ = p;
  *value = result;
  return true;
}

bool Decoder::ReadVarint64(uint64_t* value) {
  const uint8_t* p = pos_;
  uint64_t result = 0;
  for (int i = 0; i < 9; ++i) {
    if (p == end_) return false;
    const uint8_t b = *p++;
    result |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
    if (b < 0x80) {
      pos_ = p;
      *value = result;
      return true;
    }
  }
  if (p == end_ || *p >= 0x80) return false;
  result |= static_cast<uint64_t>(*p++) << 63;
  pos_ = p;
  *value = result;
  return true;
}

uint32_t Decoder::ReadTagSlow() {
  uint32_t tag = 0;
  if (pos_ == end_ || !ReadVarint32(&tag)) return 0;
  return tag;
}

bool Decoder::ReadBoolSlow(bool* value) {
  uint64_t v = 0;
  if (!ReadVarint64(&v) || !IsSignExtended32(v)) return false;
  *value = v != 0;
  return true;
}

bool Decoder::ReadInt32(int32_t* value) {
  uint32_t v32 = 0;
  if (ReadVarint32(&v32)) {
    *value = static_cast<int32_t>(v32);
    return true;
  }
  uint64_t v64 = 0;
  if (!ReadVarint64(&v64) || !IsSignExtended32(v64)) return false;
  *value = static_cast<int32_t>(v64);
  return true;
}

bool Decoder::ReadInt64(int64_t* value) {
  uint64_t v = 0;
  if (!ReadVarint64(&v)) return false;
  *value = static_cast<int64_t>(v);
  return true;
}

bool Decoder::ReadDouble(double* value) {
  if (end_ - pos_ < 8) return false;
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | pos_[i];
  std::memcpy(value, &bits, sizeof bits);
  pos_ += 8;
  return true;
}

bool Decoder::ReadString(std::string* value) {
  uint32_t length = 0;
  if (!ReadVarint32(&length)) return false;
  if (static_cast<int32_t>(length) < 0 || static_cast<int64_t>(length) > end_ - pos_) return false;
  value->assign(reinterpret_cast<const char*>(pos_), length);
  pos_ += length;
  return true;
}

bool Decoder::ReadString(std::string** slot) {
  // Check the length before creating the object, so that a failed read of an
  // absent string leaves it absent.
  const uint8_t* start = pos_;
  uint32_t length = 0;
  if (!ReadVarint32(&length)) return false;
  if (static_cast<int32_t>(length) < 0 || static_cast<int64_t>(length) > end_ - pos_) {
    pos_ = start;
    return false;
  }
  if (!*slot) *slot = new std::string;
  (*slot)->assign(reinterpret_cast<const char*>(pos_), length);
  pos_ += length;
  return true;
}

bool Decoder::SkipField(uint32_t tag) {
  // Field numbers of the groups still open, innermost last.
  uint32_t open[kMaxGroupDepth];
  int depth = 0;
  for (;;) {
    switch (TagWireType(tag)) {
      case WIRETYPE_NUMERIC: {
        uint64_t ignored;
        if (!ReadVarint64(&ignored)) return false;
        break;
      }
      case WIRETYPE_DOUBLE:
        if (!Skip(8)) return false;
        break;
      case WIRETYPE_STRING: {
        int32_t length = 0;
        if (!ReadInt32(&length) || length < 0 || !Skip(length)) return false;
        break;
      }
      case WIRETYPE_STARTGROUP:
        if (depth == kMaxGroupDepth) return false;
        open[depth++] = TagFieldNumber(tag);
        break;
      case WIRETYPE_ENDGROUP:
        // Only the end tag of the innermost open group is valid here.
        if (depth == 0 || open[depth - 1] != TagFieldNumber(tag)) return false;
        --depth;
        break;
      case WIRETYPE_FLOAT:
        if (!Skip(4)) return false;
        break;
      default:
        return false;
    }
    if (depth == 0) return true;
    tag = ReadTag();
    if (tag == 0) return false;
  }
}

bool Decoder::StoreUnknownField(uint32_t tag, ByteChain** chain) {
  Decoder probe = *this;
  if (!probe.SkipField(tag)) return false;
  if (!*chain) *chain = new ByteChain;
  WriteVarint32(tag, *chain);
  (*chain)->Append(pos_, static_cast<size_t>(probe.pos_ - pos_));
  pos_ = probe.pos_;
  return true;
}
