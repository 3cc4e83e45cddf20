#include "net/proto/protocol_message.h"

#include <limits>

bool DecodeBlob(const void* bytes, uint32_t byte_length, ProtoWrapper* store) {
  if (!bytes || byte_length == 0) return false;
  // A message larger than the decoder's int32 range cannot be valid here.
  if (byte_length > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
  ProtocolMessage* message = store->GetMessage();
  if (!message) return false;
  message->Clear();
  if (!ParseFromBytes(message, static_cast<const uint8_t*>(bytes),
                      static_cast<int32_t>(byte_length))) {
    return false;
  }
  store->ReadFromMessage(message);
  return true;
}
