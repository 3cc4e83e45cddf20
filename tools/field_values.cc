#include "tools/field_values.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "net/proto/byte_chain.h"
#include "net/proto/message_type.h"
#include "net/proto/protocol_message.h"
#include "net/proto/wire_codec.h"
#include "tools/json_text.h"

namespace ci {
namespace {

bool IsTopLevel(const FieldInfo& field) { return std::strcmp(field.name, field.short_name) == 0; }

bool ParseBool(const std::string& text, bool* value) {
  static const char* const kTrue[] = {"true", "1", "yes", "on"};
  static const char* const kFalse[] = {"false", "0", "no", "off"};
  for (const char* word : kTrue) {
    if (text == word) {
      *value = true;
      return true;
    }
  }
  for (const char* word : kFalse) {
    if (text == word) {
      *value = false;
      return true;
    }
  }
  return false;
}

// A decimal integer from `low` to `high`, nothing else on the line.
bool ParseInteger(const std::string& text, long long low, long long high, std::int64_t* value) {
  if (text.empty() || std::strchr("+-0123456789", text[0]) == nullptr) return false;
  errno = 0;
  char* end = nullptr;
  const long long number = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || number < low || number > high) return false;
  *value = number;
  return true;
}

bool ParseReal(const std::string& text, double* value) {
  if (text.empty() || std::strchr("+-.0123456789", text[0]) == nullptr) return false;
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(number)) return false;
  *value = number;
  return true;
}

// The value a field has when the message lacks it.
FieldSetting DefaultSetting(const FieldInfo& field) {
  FieldSetting setting;
  std::string ignored;
  if (!ParseFieldValue(field, "", field.default_text, &setting, &ignored)) setting.field = &field;
  return setting;
}

void WriteSetting(const FieldSetting& setting, ByteChain* chain) {
  const FieldInfo& field = *setting.field;
  const uint32_t number = static_cast<uint32_t>(field.number);
  switch (field.declared_type) {
    case TYPE_BOOL:
      WriteBoolField(number, setting.flag, chain);
      break;
    case TYPE_FIXED32:
      WriteFixed32Field(number, static_cast<int32_t>(static_cast<uint32_t>(setting.number)), chain);
      break;
    case TYPE_INT32:
      WriteInt32Field(number, static_cast<int32_t>(setting.number), chain);
      break;
    case TYPE_INT64:
      WriteInt64Field(number, setting.number, chain);
      break;
    case TYPE_DOUBLE:
      WriteDoubleField(number, setting.real, chain);
      break;
    case TYPE_STRING:
      WriteStringField(number, &setting.text, chain);
      break;
    default:
      break;
  }
}

// Reads the value of `field`, whose tag was just read, into `setting`.
bool ReadSetting(Decoder* decoder, const FieldInfo& field, FieldSetting* setting) {
  setting->field = &field;
  switch (field.declared_type) {
    case TYPE_BOOL:
      return decoder->ReadBool(&setting->flag);
    case TYPE_FIXED32: {
      int32_t value;
      if (!decoder->ReadFixed32(&value)) return false;
      setting->number = value;
      return true;
    }
    case TYPE_INT32: {
      int32_t value;
      if (!decoder->ReadInt32(&value)) return false;
      setting->number = value;
      return true;
    }
    case TYPE_INT64: {
      int64_t value;
      if (!decoder->ReadInt64(&value)) return false;
      setting->number = value;
      return true;
    }
    case TYPE_DOUBLE:
      return decoder->ReadDouble(&setting->real);
    case TYPE_STRING:
      return decoder->ReadString(&setting->text);
    default:
      return false;
  }
}

std::unique_ptr<ProtocolMessage> Decoded(const ProtocolMessage& prototype,
                                         const std::string& bytes) {
  std::unique_ptr<ProtocolMessage> message(prototype.NewInstance());
  if (!message || !ParseFromBytes(message.get(), reinterpret_cast<const uint8_t*>(bytes.data()),
                                  static_cast<int32_t>(bytes.size()))) {
    return nullptr;
  }
  return message;
}

}  // namespace

std::vector<const FieldInfo*> SettableFields(const MessageType& type) {
  std::vector<const FieldInfo*> fields;
  for (int32_t number = 1; number <= type.highest_field_number(); ++number) {
    const FieldInfo* field = type.FieldByNumber(number);
    if (field && IsTopLevel(*field) && field->declared_type != TYPE_GROUP) fields.push_back(field);
  }
  return fields;
}

bool ParseFieldValue(const FieldInfo& field, const std::string& option, const std::string& text,
                     FieldSetting* setting, std::string* error) {
  setting->field = &field;
  const std::string quoted = ", not \"" + text + "\"";
  switch (field.declared_type) {
    case TYPE_BOOL:
      if (ParseBool(text, &setting->flag)) return true;
      *error = option + " takes true or false" + quoted;
      return false;
    case TYPE_FIXED32:
      // Four bytes on the wire: signed or unsigned 32-bit values both fit.
      if (ParseInteger(text, INT32_MIN, UINT32_MAX, &setting->number)) return true;
      *error = option + " takes a whole number from -2147483648 to 4294967295" + quoted;
      return false;
    case TYPE_INT32:
      if (ParseInteger(text, INT32_MIN, INT32_MAX, &setting->number)) return true;
      *error = option + " takes a whole number from -2147483648 to 2147483647" + quoted;
      return false;
    case TYPE_INT64:
      if (ParseInteger(text, INT64_MIN, INT64_MAX, &setting->number)) return true;
      *error = option + " takes a 64-bit whole number" + quoted;
      return false;
    case TYPE_DOUBLE:
      if (ParseReal(text, &setting->real)) return true;
      *error = option + " takes a finite number" + quoted;
      return false;
    case TYPE_STRING:
      setting->text = text;
      return true;
    default:
      *error = option + " cannot be set from the command line";
      return false;
  }
}

std::string BuildMessage(const ProtocolMessage& prototype,
                         const std::vector<FieldSetting>& settings) {
  const MessageType& type = prototype.GetType();
  ByteChain chain;
  for (const FieldInfo* field : SettableFields(type)) {
    const FieldSetting* given = nullptr;
    for (const FieldSetting& setting : settings) {
      if (setting.field == field) given = &setting;
    }
    if (given) {
      WriteSetting(*given, &chain);
    } else if (field->label == LABEL_REQUIRED) {
      WriteSetting(DefaultSetting(*field), &chain);
    }
  }
  std::string raw(static_cast<size_t>(chain.size()), '\0');
  if (!raw.empty()) chain.CopyTo(reinterpret_cast<uint8_t*>(&raw[0]));
  // The class decodes what the fields' records say and writes it as it always does.
  const std::unique_ptr<ProtocolMessage> message = Decoded(prototype, raw);
  std::string bytes;
  if (message) AppendEncoded(*message, &bytes);
  return bytes;
}

bool DecodeFields(const ProtocolMessage& prototype, const std::string& bytes,
                  std::vector<ShownField>* fields) {
  const std::unique_ptr<ProtocolMessage> message = Decoded(prototype, bytes);
  if (!message) return false;
  // The class's own encoding: known fields in their own wire types, each once.
  std::string canonical;
  AppendEncoded(*message, &canonical);
  const MessageType& type = prototype.GetType();
  std::vector<FieldSetting> present;
  Decoder decoder(reinterpret_cast<const uint8_t*>(canonical.data()),
                  static_cast<int32_t>(canonical.size()));
  while (const uint32_t tag = decoder.ReadTag()) {
    const FieldInfo* field = type.FieldByNumber(static_cast<int32_t>(TagFieldNumber(tag)));
    FieldSetting setting;
    if (field && IsTopLevel(*field) && field->declared_type != TYPE_GROUP &&
        static_cast<int32_t>(TagWireType(tag)) == field->wire_type) {
      if (!ReadSetting(&decoder, *field, &setting)) return false;
      present.push_back(std::move(setting));
    } else if (!decoder.SkipField(tag)) {
      return false;
    }
  }
  fields->clear();
  for (const FieldInfo* field : SettableFields(type)) {
    ShownField shown{field, false, DefaultSetting(*field)};
    for (const FieldSetting& setting : present) {
      if (setting.field == field) {
        shown.present = true;
        shown.value = setting;
      }
    }
    fields->push_back(std::move(shown));
  }
  return true;
}

std::string FieldValueText(const ShownField& field) {
  switch (field.field->declared_type) {
    case TYPE_BOOL:
      return field.value.flag ? "true" : "false";
    case TYPE_FIXED32:
    case TYPE_INT32:
    case TYPE_INT64:
      return std::to_string(field.value.number);
    case TYPE_DOUBLE: {
      // The shortest text that reads back as the same number.
      char text[40];
      for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, field.value.real);
        if (std::strtod(text, nullptr) == field.value.real) break;
      }
      return text;
    }
    default:
      return field.value.text;
  }
}

std::string FieldValueJson(const ShownField& field) {
  const int32_t type = field.field->declared_type;
  if (type == TYPE_STRING || (type == TYPE_DOUBLE && !std::isfinite(field.value.real))) {
    return JsonString(FieldValueText(field));
  }
  return FieldValueText(field);
}

}  // namespace ci
