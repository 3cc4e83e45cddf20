#include "net/proto/protocol_message.h"

#include <limits>

#include "net/proto/decoder.h"

bool ParseFromBytes(ProtocolMessage* message, const uint8_t* bytes, int32_t length) {
  if (length < 0 || (length > 0 && !bytes)) return false;
  Decoder decoder(bytes, length);
  return message->MergeFromDecoder(&decoder);
}

void AppendEncoded(const ProtocolMessage& message, std::string* bytes) {
  const size_t old_size = bytes->size();
  const int32_t size = message.EncodedSize();
  bytes->resize(old_size + static_cast<size_t>(size));
  if (size > 0) message.WriteToArray(reinterpret_cast<uint8_t*>(&(*bytes)[old_size]));
}

bool DecodeBlob(const void* bytes, uint32_t byte_length, ProtoWrapper* store) {
  if (!bytes || byte_length == 0) return false;
  // A message larger than the decoder's int32 range cannot be valid here.
  if (byte_length > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
  ProtocolMessage* message = store->GetMessage();
  if (!message) return false;
  message->Clear();
  if (!ParseFromBytes(message, static_cast<const uint8_t*>(bytes), static_cast<int32_t>(byte_length))) {
    return false;
  }
  store->ReadFromMessage(message);
  return true;
}
