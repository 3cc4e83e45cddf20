// The base class of every message class, the store interface that DecodeBlob
// fills, the entry points that turn bytes into messages and back, and
// OpaqueMessage, the message of no schema.
#pragma once

#include <cstdint>
#include <string>

#include "net/proto/wire_codec.h"

class ByteChain;
class MessageType;

class ProtocolMessage {
 public:
  // Releases the message's string objects and its unknown-field chain.
  virtual ~ProtocolMessage() = default;
  // Null when every required field is present, else "missing field: <name>".
  virtual const char* FindMissingField() const = 0;
  // Defaults everywhere, has-bits clear, strings emptied but kept, unknown
  // fields dropped.
  virtual void Clear() = 0;
  virtual void WriteToChain(ByteChain* chain) const = 0;
  // Writes into a buffer of at least EncodedSize() bytes; returns the first
  // byte past the encoding.
  virtual uint8_t* WriteToArray(uint8_t* out) const = 0;
  // Decodes fields into the message without clearing it first.
  virtual bool MergeFromDecoder(Decoder* decoder) = 0;
  virtual const MessageType& GetType() const = 0;
  // A new default instance of the same class, or null when out of memory.
  virtual ProtocolMessage* NewInstance() const = 0;
  // Exact byte count that WriteToChain and WriteToArray produce.
  virtual int32_t EncodedSize() const = 0;
  // Estimate of the memory the message holds.
  virtual int32_t MemoryFootprint() const = 0;

 protected:
  ProtocolMessage() = default;
  ProtocolMessage(const ProtocolMessage&) = default;
  ProtocolMessage& operator=(const ProtocolMessage&) = default;
};

// A store that DecodeBlob fills from a decoded message. Each store owns the
// message GetMessage hands out and deletes it when the store is destroyed.
class ProtoWrapper {
 public:
  // The store's own message, created on the first call and kept.
  virtual ProtocolMessage* GetMessage() = 0;
  // Copies every field of `message`, values and presence, into the store.
  virtual void ReadFromMessage(ProtocolMessage* message) = 0;
  // Copies the fields the store holds as present into `message`.
  virtual void WriteToMessage(ProtocolMessage* message) = 0;

 protected:
  ~ProtoWrapper() = default;
};

// Decodes `length` bytes into `message` without clearing it first. A negative
// length, or null bytes with a positive length, fails.
inline bool ParseFromBytes(ProtocolMessage* message, const uint8_t* bytes, int32_t length) {
  if (length < 0 || (length > 0 && !bytes)) return false;
  Decoder decoder(bytes, length);
  return message->MergeFromDecoder(&decoder);
}

// Appends the encoding of `message` to `bytes`, sizing once and writing once.
inline void AppendEncoded(const ProtocolMessage& message, std::string* bytes) {
  const size_t old_size = bytes->size();
  const int32_t size = message.EncodedSize();
  if (size <= 0) return;
  bytes->resize(old_size + static_cast<size_t>(size));
  message.WriteToArray(reinterpret_cast<uint8_t*>(&(*bytes)[old_size]));
}

// Clears the store's message and decodes the bytes into it; on success hands the
// message to the store's ReadFromMessage. Null bytes or length 0 give false
// without touching the store. On failure the message is left cleared and
// possibly partly filled, and the store is not updated.
bool DecodeBlob(const void* bytes, uint32_t byte_length, ProtoWrapper* store);

// A message with no known fields: every field it decodes is kept as unknown bytes
// and written back unchanged. No product code uses it; it is the smallest complete
// ProtocolMessage, through which the codec's tests run the decoder and the
// unknown-field path without a generated class.
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
