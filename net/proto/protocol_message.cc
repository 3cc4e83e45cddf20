#include "net/proto/protocol_message.h"

#include <limits>
#include <new>

#include "net/proto/byte_chain.h"
#include "net/proto/message_type.h"

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

namespace {

const FieldInfo kOpaqueFields[] = {kErrorCodeFieldInfo};
const FieldInfo* const kOpaqueByNumber[] = {&kOpaqueFields[0]};
const FieldInfo* const kOpaqueByName[] = {&kOpaqueFields[0]};

}  // namespace

OpaqueMessage::~OpaqueMessage() { delete unknown_fields_; }

void OpaqueMessage::Clear() {
  delete unknown_fields_;
  unknown_fields_ = nullptr;
}

void OpaqueMessage::WriteToChain(ByteChain* chain) const {
  if (unknown_fields_) chain->AppendChain(*unknown_fields_);
}

uint8_t* OpaqueMessage::WriteToArray(uint8_t* out) const {
  return unknown_fields_ ? unknown_fields_->CopyTo(out) : out;
}

bool OpaqueMessage::MergeFromDecoder(Decoder* decoder) {
  for (;;) {
    const uint32_t tag = decoder->ReadTag();
    if (tag == 0) return decoder->AtEnd();
    if (!decoder->StoreUnknownField(tag, &unknown_fields_)) return false;
  }
}

const MessageType& OpaqueMessage::GetType() const {
  // Not registered: it has no schema of its own.
  static const MessageType type("opaquemessage", 0, kOpaqueFields, 1, kOpaqueByNumber, 0,
                                kOpaqueByName);
  return type;
}

ProtocolMessage* OpaqueMessage::NewInstance() const { return new (std::nothrow) OpaqueMessage; }

int32_t OpaqueMessage::EncodedSize() const { return unknown_fields_ ? unknown_fields_->size() : 0; }

int32_t OpaqueMessage::MemoryFootprint() const {
  return static_cast<int32_t>(sizeof(*this)) +
         (unknown_fields_ ? unknown_fields_->MemoryFootprint() : 0);
}
