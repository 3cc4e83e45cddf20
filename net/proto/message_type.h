// The static record of one message class: its name, its field tables (FieldInfo
// entries), its self-description, an empty schema descriptor, and a lock. Built
// at process start, destroyed at exit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/proto/unnamed_mutex.h"

class ProtocolMessage;

// Static, read-only description of one field of one message class.
struct FieldInfo {
  const char* name;        // "Method.deadline" for a field inside a group
  const char* short_name;  // without the group prefix
  int32_t number;
  int32_t wire_type;         // WireType
  int32_t declared_type;     // DeclaredType
  int32_t label;             // Label
  const char* default_text;  // "false", "740", "" for strings
};

// Every class's table starts with this entry for field number 0.
constexpr FieldInfo kErrorCodeFieldInfo = {
    "ErrorCode", "ErrorCode", 0, 0, 3 /* TYPE_INT64 */, 1 /* LABEL_OPTIONAL */, "200"};

// Something a caller may attach to a type record; destroyed with the record.
class TypeAttachment {
 public:
  virtual ~TypeAttachment() = default;
};

class MessageType {
 public:
  static constexpr int kAttachmentSlots = 3;

  // `fields` holds `entry_count` records in declaration order (the ErrorCode
  // entry first); `by_number` has highest_number + 1 references (null where a
  // number is unused); `by_name` has `entry_count` references in byte order of
  // the full names. `self_description` is the class's schema encoded as a
  // ProtocolDescriptor message (null when the class has none). The tables and
  // the bytes must outlive the record.
  MessageType(const char* name, int32_t numeric_id, const FieldInfo* fields, int32_t entry_count,
              const FieldInfo* const* by_number, int32_t highest_number,
              const FieldInfo* const* by_name, const uint8_t* self_description = nullptr,
              int32_t self_description_size = 0);
  ~MessageType();
  MessageType(const MessageType&) = delete;
  MessageType& operator=(const MessageType&) = delete;

  const std::string& name() const { return name_; }
  int32_t numeric_id() const { return numeric_id_; }
  int32_t highest_field_number() const { return highest_number_; }
  int32_t entry_count() const { return entry_count_; }

  // Declaration order, ErrorCode first.
  const FieldInfo& field(int32_t index) const { return fields_[index]; }
  // Null for an unused or out-of-range number.
  const FieldInfo* FieldByNumber(int32_t number) const;
  // Position `index` in byte order of the full names.
  const FieldInfo& FieldInNameOrder(int32_t index) const { return *by_name_[index]; }
  // Null when no field has that full name.
  const FieldInfo* FindFieldByName(const std::string& name) const;

  // The two free texts of the record; empty for every class of this system.
  const std::string& text(int index) const { return texts_[index]; }

  // The class's embedded self-description; empty when it has none.
  const uint8_t* self_description() const { return self_description_; }
  int32_t self_description_size() const { return self_description_size_; }

  // The schema descriptor created empty with the record.
  const ProtocolMessage* descriptor() const { return descriptor_.get(); }
  UnnamedMutex& lock() const { return lock_; }

  TypeAttachment* attachment(int slot) const { return attachments_[slot].get(); }
  void set_attachment(int slot, std::unique_ptr<TypeAttachment> value) {
    attachments_[slot] = std::move(value);
  }

 private:
  std::string name_;
  int32_t numeric_id_;
  const FieldInfo* fields_;
  int32_t entry_count_;
  const FieldInfo* const* by_number_;
  int32_t highest_number_;
  const FieldInfo* const* by_name_;
  const uint8_t* self_description_;
  int32_t self_description_size_;
  std::string texts_[2];
  std::unique_ptr<ProtocolMessage> descriptor_;
  mutable UnnamedMutex lock_;
  std::unique_ptr<TypeAttachment> attachments_[kAttachmentSlots];
};
