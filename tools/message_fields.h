// The client's view of the two messages it sends and shows: building one from
// the command line's field settings, and listing a decoded one field by field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/client_command.h"

namespace ci {

// Serialised MachinePreferencesProto / ProxySettingsProto with the given fields set.
std::string BuildPreferencesMessage(const std::vector<FieldSetting>& fields);
std::string BuildProxyMessage(const std::vector<FieldSetting>& fields);

struct ShownField {
  const FieldOption* field_option;
  bool present;  // false: the message lacks it and `value` is the default
  FieldSetting value;
};

// Decodes message bytes and lists every field in number order; false when the
// bytes do not decode.
bool DecodePreferences(const std::string& bytes, std::vector<ShownField>* fields);
bool DecodeProxySettings(const std::string& bytes, std::vector<ShownField>* fields);

// "true", "8080", "proxy.example" (text as UTF-8, as stored).
std::string FieldValueText(const ShownField& field);
// The value as a JSON literal.
std::string FieldValueJson(const ShownField& field);

}  // namespace ci
