#include "net/proto/message_type.h"

#include <cstring>
#include <new>

#include "net/proto/protocol_message.h"
#include "net/proto/protocoltype.h"

namespace {

// The schema descriptor each record creates empty; nothing in this system fills it.
ProtocolMessage* NewEmptyTypeDescriptor() { return new (std::nothrow) ProtocolDescriptor; }

}  // namespace

MessageType::MessageType(const char* name, int32_t numeric_id, const FieldInfo* fields,
                         int32_t entry_count, const FieldInfo* const* by_number,
                         int32_t highest_number, const FieldInfo* const* by_name,
                         const uint8_t* self_description, int32_t self_description_size)
    : name_(name),
      numeric_id_(numeric_id),
      fields_(fields),
      entry_count_(entry_count),
      by_number_(by_number),
      highest_number_(highest_number),
      by_name_(by_name),
      self_description_(self_description),
      self_description_size_(self_description ? self_description_size : 0),
      descriptor_(NewEmptyTypeDescriptor()) {}

MessageType::~MessageType() = default;

const FieldInfo* MessageType::FieldByNumber(int32_t number) const {
  if (number < 0 || number > highest_number_) return nullptr;
  return by_number_[number];
}

const FieldInfo* MessageType::FindFieldByName(const std::string& name) const {
  int32_t lo = 0;
  int32_t hi = entry_count_;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    // Byte order: compare as unsigned bytes, as the table is sorted.
    const int c = std::strcmp(by_name_[mid]->name, name.c_str());
    if (c == 0) return by_name_[mid];
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return nullptr;
}
