// The client's view of a message's fields, taken from the class's own type
// record: which fields can be set from the command line, their values parsed by
// declared type, messages built from them, and decoded messages listed field by
// field with presence and defaults. Nothing here names a field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/proto/message_type.h"

class MessageType;
class ProtocolMessage;

namespace ci {

// A value for one field, held by the field's declared type.
struct FieldSetting {
  const FieldInfo* field = nullptr;
  bool flag = false;        // TYPE_BOOL
  std::int64_t number = 0;  // TYPE_INT32, TYPE_FIXED32, TYPE_INT64
  double real = 0.0;        // TYPE_DOUBLE
  std::string text;         // TYPE_STRING, UTF-8
};

// The top-level fields of a type that hold one value (no groups), in number order.
std::vector<const FieldInfo*> SettableFields(const MessageType& type);

// Parses `text` for `field` by its declared type; on failure `error` says what the
// field takes (after the given option name).
bool ParseFieldValue(const FieldInfo& field, const std::string& option, const std::string& text,
                     FieldSetting* setting, std::string* error);

// The encoding of a message of `prototype`'s class with the given fields set (and
// its required fields at their defaults when not given), as the class writes it.
// Empty when the class refuses the values.
std::string BuildMessage(const ProtocolMessage& prototype,
                         const std::vector<FieldSetting>& settings);

struct ShownField {
  const FieldInfo* field;
  bool present;  // false: the message lacks it and `value` is the default
  FieldSetting value;
};

// Decodes `bytes` with `prototype`'s class and lists every settable field in
// number order; false when the bytes do not decode.
bool DecodeFields(const ProtocolMessage& prototype, const std::string& bytes,
                  std::vector<ShownField>* fields);

// "true", "8080", "proxy.example" (text as UTF-8, as stored), "0.5".
std::string FieldValueText(const ShownField& field);
// The value as a JSON literal.
std::string FieldValueJson(const ShownField& field);

}  // namespace ci
