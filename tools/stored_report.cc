#include "tools/stored_report.h"

#include "ci/base/utf8.h"
#include "ci/prefs/stored_value.h"
#include "net/proto/wire_codec.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"
#include "tools/hex.h"
#include "tools/json_text.h"
#include "tools/registry_text.h"

namespace ci {
namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

const char* StateWords(StoredState state) {
  switch (state) {
    case StoredState::kAbsent:
      return "absent";
    case StoredState::kWrongType:
      return "not a binary value";
    case StoredState::kBadChecksum:
      return "CHECKSUM DOES NOT MATCH";
    case StoredState::kUndecodable:
      return "checksum ok, but the message DOES NOT DECODE";
    case StoredState::kValid:
      return "checksum ok";
  }
  return "";
}

const char* StateKey(StoredState state) {
  switch (state) {
    case StoredState::kAbsent:
      return "absent";
    case StoredState::kWrongType:
      return "wrong_type";
    case StoredState::kBadChecksum:
      return "bad_checksum";
    case StoredState::kUndecodable:
      return "undecodable";
    case StoredState::kValid:
      return "valid";
  }
  return "";
}

// A REG_SZ value as UTF-8 (registry text is UTF-16, little-endian).
std::string TextOf(const RawValue& value) { return WideToUtf8(RegistryText(value.data)); }

// The value in words for the text report, and as a JSON literal.
std::string PlainValue(const RawValue& value, bool json) {
  if (!value.present) return json ? "null" : "absent";
  if (value.type == kRegDword && value.data.size() == 4) {
    const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                 (static_cast<std::uint32_t>(value.data[3]) << 24);
    return std::to_string(number);
  }
  if (value.type == kRegSz || value.type == kRegExpandSz) {
    return json ? JsonString(TextOf(value)) : "\"" + TextOf(value) + "\"";
  }
  const std::string hex = FormatHex(value.data);
  return json ? JsonString(hex) : "type " + std::to_string(value.type) + ": " + hex;
}

void AppendMessageText(const StoredMessage& message, std::string* out) {
  *out += message.value_name + ": " + StateWords(message.state);
  if (message.state != StoredState::kAbsent) *out += " [" + FormatHex(message.bytes) + "]";
  *out += "\n";
  for (const ShownField& field : message.fields) {
    const std::string value = FieldValueText(field);
    *out += "  " + std::string(field.field->name) + " = " +
            (field.field->declared_type == TYPE_STRING ? "\"" + value + "\"" : value);
    if (!field.present) *out += " (not set; default)";
    *out += "\n";
  }
}

void AppendMessageJson(const StoredMessage& message, std::string* out) {
  *out += JsonString(message.value_name) + ": {\"state\": " + JsonString(StateKey(message.state));
  if (message.state != StoredState::kAbsent) {
    *out += ", \"bytes\": " + JsonString(FormatHex(message.bytes));
  }
  if (message.state == StoredState::kValid) {
    *out += ", \"fields\": {";
    bool first = true;
    for (const ShownField& field : message.fields) {
      if (!field.present) continue;
      *out += (first ? "" : ", ") + JsonString(field.field->name) + ": " + FieldValueJson(field);
      first = false;
    }
    *out += "}";
  }
  *out += "}";
}

}  // namespace

StoredMessage InspectStoredMessage(const std::string& value_name, StoredKind kind,
                                   const RawValue& value) {
  StoredMessage message;
  message.value_name = value_name;
  if (!value.present) return message;
  message.bytes = value.data;
  if (value.type != kRegBinary) {
    message.state = StoredState::kWrongType;
    return message;
  }
  std::string bytes;
  if (!SplitStoredValue(value.data.data(), value.data.size(), &bytes)) {
    message.state = StoredState::kBadChecksum;
    return message;
  }
  const ProtocolMessage& prototype =
      kind == StoredKind::kPreferences
          ? static_cast<const ProtocolMessage&>(MachinePreferencesProto::default_instance())
          : ProxySettingsProto::default_instance();
  const bool decoded = DecodeFields(prototype, bytes, &message.fields);
  message.state = decoded ? StoredState::kValid : StoredState::kUndecodable;
  if (!decoded) message.fields.clear();
  return message;
}

ShowReport FormatShowReport(const MachineValues& values, bool json) {
  const StoredMessage messages[] = {
      InspectStoredMessage("machine_prefs", StoredKind::kPreferences, values.machine_prefs),
      InspectStoredMessage("ProxySettings", StoredKind::kProxySettings, values.proxy_settings),
  };
  const struct {
    const char* name;
    const RawValue* value;
  } plain[] = {
      {"SendAnonymousData", &values.send_anonymous_data},
      {"userid", &values.userid},
      {"offline", &values.offline},
      {"no_eula", &values.no_eula},
      {"tc_accpt", &values.tc_accpt},
  };

  ShowReport report;
  for (const StoredMessage& message : messages) {
    if (message.state == StoredState::kBadChecksum || message.state == StoredState::kUndecodable ||
        message.state == StoredState::kWrongType) {
      report.damaged = true;
    }
  }
  std::string& out = report.text;
  if (json) {
    out = "{\"root\": " + JsonString("HKLM\\Software\\Velmor\\Velmor Updater");
    for (const StoredMessage& message : messages) {
      out += ", ";
      AppendMessageJson(message, &out);
    }
    for (const auto& value : plain) {
      out += ", " + JsonString(value.name) + ": " + PlainValue(*value.value, true);
    }
    out += "}\n";
  } else {
    out = "HKLM\\Software\\Velmor\\Velmor Updater\n";
    for (const StoredMessage& message : messages) AppendMessageText(message, &out);
    for (const auto& value : plain) {
      out += std::string(value.name) + ": " + PlainValue(*value.value, false) + "\n";
    }
  }
  return report;
}

}  // namespace ci
