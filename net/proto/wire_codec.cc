#include "net/proto/wire_codec.h"

#include "net/proto/byte_chain.h"

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

namespace {

// Longest single field head: a tag (5) plus a 10-byte varint or 8 fixed bytes.
constexpr int kMaxHeadBytes = 16;

}  // namespace

void WriteVarint32(uint32_t value, ByteChain* chain) {
  uint8_t buffer[kMaxHeadBytes];
  chain->Append(buffer, static_cast<size_t>(WriteVarint32ToArray(value, buffer) - buffer));
}

void WriteVarint64(uint64_t value, ByteChain* chain) {
  uint8_t buffer[kMaxHeadBytes];
  chain->Append(buffer, static_cast<size_t>(WriteVarint64ToArray(value, buffer) - buffer));
}

void WriteTag(uint32_t number, WireType type, ByteChain* chain) {
  WriteVarint32(MakeTag(number, type), chain);
}

void WriteBoolField(uint32_t number, bool value, ByteChain* chain) {
  uint8_t buffer[kMaxHeadBytes];
  chain->Append(buffer, static_cast<size_t>(WriteBoolFieldToArray(number, value, buffer) - buffer));
}

void WriteFixed32Field(uint32_t number, int32_t value, ByteChain* chain) {
  uint8_t buffer[kMaxHeadBytes];
  chain->Append(buffer,
                static_cast<size_t>(WriteFixed32FieldToArray(number, value, buffer) - buffer));
}

void WriteInt32Field(uint32_t number, int32_t value, ByteChain* chain) {
  uint8_t buffer[kMaxHeadBytes];
  chain->Append(buffer,
                static_cast<size_t>(WriteInt32FieldToArray(number, value, buffer) - buffer));
}

void WriteInt64Field(uint32_t number, int64_t value, ByteChain* chain) {
  uint8_t buffer[kMaxHeadBytes];
  chain->Append(buffer,
                static_cast<size_t>(WriteInt64FieldToArray(number, value, buffer) - buffer));
}

void WriteDoubleField(uint32_t number, double value, ByteChain* chain) {
  uint8_t buffer[kMaxHeadBytes];
  chain->Append(buffer,
                static_cast<size_t>(WriteDoubleFieldToArray(number, value, buffer) - buffer));
}

void WriteStringField(uint32_t number, const std::string* value, ByteChain* chain) {
  const size_t length = value ? value->size() : 0;
  uint8_t buffer[kMaxHeadBytes];
  uint8_t* end = WriteTagToArray(number, WIRETYPE_STRING, buffer);
  end = WriteVarint32ToArray(static_cast<uint32_t>(length), end);
  chain->Append(buffer, static_cast<size_t>(end - buffer));
  if (length) chain->Append(value->data(), length);
}
