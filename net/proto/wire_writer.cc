#include "net/proto/wire_writer.h"

#include "net/proto/byte_chain.h"

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
