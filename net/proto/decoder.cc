#include "net/proto/decoder.h"

#include "net/proto/byte_chain.h"
#include "net/proto/wire_format.h"
#include "net/proto/wire_writer.h"

Decoder::Step Decoder::Varint32At(const uint8_t* p, const uint8_t* end) {
  uint32_t result = 0;
  for (int i = 0; i < 4; ++i) {
    if (p == end) return {nullptr, 0};
    const uint8_t b = *p++;
    result |= static_cast<uint32_t>(b & 0x7F) << (7 * i);
    if (b < 0x80) return {p, result};
  }
  if (p == end || *p >= 0x80) return {nullptr, 0};
  result |= static_cast<uint32_t>(*p++) << 28;
  return {p, result};
}

Decoder::Step Decoder::Varint64At(const uint8_t* p, const uint8_t* end) {
  uint64_t result = 0;
  for (int i = 0; i < 9; ++i) {
    if (p == end) return {nullptr, 0};
    const uint8_t b = *p++;
    result |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
    if (b < 0x80) return {p, result};
  }
  if (p == end || *p >= 0x80) return {nullptr, 0};
  result |= static_cast<uint64_t>(*p++) << 63;
  return {p, result};
}

Decoder::Step Decoder::Int32At(const uint8_t* p, const uint8_t* end) {
  const Step narrow = Varint32At(p, end);
  if (narrow.pos)
    return {narrow.pos,
            static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(narrow.value)))};
  const Step wide = Varint64At(p, end);
  if (!wide.pos || !IsSignExtended32(wide.value)) return {nullptr, 0};
  return wide;
}

const uint8_t* Decoder::SkipFieldAt(const uint8_t* p, const uint8_t* end, uint32_t tag) {
  Decoder d(p, end);
  // Field numbers of the groups still open, innermost last.
  uint32_t open[kMaxGroupDepth];
  int depth = 0;
  for (;;) {
    switch (TagWireType(tag)) {
      case WIRETYPE_NUMERIC: {
        uint64_t ignored;
        if (!d.ReadVarint64(&ignored)) return nullptr;
        break;
      }
      case WIRETYPE_DOUBLE:
        if (d.end_ - d.pos_ < 8) return nullptr;
        d.pos_ += 8;
        break;
      case WIRETYPE_STRING: {
        int32_t length = 0;
        if (!d.ReadInt32(&length) || length < 0 || d.end_ - d.pos_ < length) return nullptr;
        d.pos_ += length;
        break;
      }
      case WIRETYPE_STARTGROUP:
        if (depth == kMaxGroupDepth) return nullptr;
        open[depth++] = TagFieldNumber(tag);
        break;
      case WIRETYPE_ENDGROUP:
        // Only the end tag of the innermost open group is valid here.
        if (depth == 0 || open[depth - 1] != TagFieldNumber(tag)) return nullptr;
        --depth;
        break;
      case WIRETYPE_FLOAT:
        if (d.end_ - d.pos_ < 4) return nullptr;
        d.pos_ += 4;
        break;
      default:
        return nullptr;
    }
    if (depth == 0) return d.pos_;
    tag = d.ReadTag();
    if (tag == 0) return nullptr;
  }
}

const uint8_t* Decoder::StoreUnknownFieldAt(const uint8_t* p, const uint8_t* end, uint32_t tag,
                                            ByteChain** chain) {
  const uint8_t* value_end = SkipFieldAt(p, end, tag);
  if (!value_end) return nullptr;
  if (!*chain) *chain = new ByteChain;
  WriteVarint32(tag, *chain);
  (*chain)->Append(p, static_cast<size_t>(value_end - p));
  return value_end;
}
