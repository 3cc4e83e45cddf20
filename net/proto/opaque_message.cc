#include "net/proto/opaque_message.h"

#include <new>

#include "net/proto/byte_chain.h"
#include "net/proto/decoder.h"
#include "net/proto/message_type.h"

namespace {

const FieldInfo kFields[] = {kErrorCodeFieldInfo};
const FieldInfo* const kByNumber[] = {&kFields[0]};
const FieldInfo* const kByName[] = {&kFields[0]};

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
  static const MessageType type("opaquemessage", 0, kFields, 1, kByNumber, 0, kByName);
  return type;
}

ProtocolMessage* OpaqueMessage::NewInstance() const { return new (std::nothrow) OpaqueMessage; }

int32_t OpaqueMessage::EncodedSize() const { return unknown_fields_ ? unknown_fields_->size() : 0; }

int32_t OpaqueMessage::MemoryFootprint() const {
  return static_cast<int32_t>(sizeof(*this)) +
         (unknown_fields_ ? unknown_fields_->MemoryFootprint() : 0);
}
