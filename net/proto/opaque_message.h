// A message with no known fields: every field it decodes is kept as unknown
// bytes and written back unchanged. Stands in as the empty schema descriptor of
// each type record.
#pragma once

#include "net/proto/protocol_message.h"

class OpaqueMessage : public ProtocolMessage {
 public:
  OpaqueMessage() = default;
  ~OpaqueMessage() override;
  OpaqueMessage(const OpaqueMessage&) = delete;
  OpaqueMessage& operator=(const OpaqueMessage&) = delete;

  const char* FindMissingField() const override { return nullptr; }
  void Clear() override;
  void WriteToChain(ByteChain* chain) const override;
  uint8_t* WriteToArray(uint8_t* out) const override;
  bool MergeFromDecoder(Decoder* decoder) override;
  const MessageType& GetType() const override;
  ProtocolMessage* NewInstance() const override;
  int32_t EncodedSize() const override;
  int32_t MemoryFootprint() const override;

  const ByteChain* unknown_fields() const { return unknown_fields_; }

 private:
  ByteChain* unknown_fields_ = nullptr;
};
