#include "tools/message_fields.h"

#include <cstring>

#include "net/proto/protocol_message.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"
#include "tools/json_text.h"

namespace ci {
namespace {

// How the client reaches one field of message class M.
template <typename M>
struct FieldAccess {
  const char* name;
  void (*set)(M& message, const FieldSetting& value);
  bool (*has)(const M& message);
  void (*get)(const M& message, FieldSetting* value);
};

#define CI_BOOL_FIELD(M, f)                                                  \
  FieldAccess<M> {                                                           \
    #f, [](M& m, const FieldSetting& v) { m.set_##f(v.flag); },              \
        [](const M& m) { return m.has_##f(); },                              \
        [](const M& m, FieldSetting* v) { v->flag = m.f(); }                 \
  }
#define CI_PORT_FIELD(M, f)                                                  \
  FieldAccess<M> {                                                           \
    #f, [](M& m, const FieldSetting& v) { m.set_##f(v.number); },            \
        [](const M& m) { return m.has_##f(); },                              \
        [](const M& m, FieldSetting* v) { v->number = m.f(); }               \
  }
#define CI_TEXT_FIELD(M, f)                                                  \
  FieldAccess<M> {                                                           \
    #f, [](M& m, const FieldSetting& v) { m.set_##f(v.text); },              \
        [](const M& m) { return m.has_##f(); },                              \
        [](const M& m, FieldSetting* v) { v->text = m.f(); }                 \
  }

const std::vector<FieldAccess<MachinePreferencesProto>>& PreferenceAccess() {
  using M = MachinePreferencesProto;
  static const std::vector<FieldAccess<M>> access = {
      CI_BOOL_FIELD(M, notify_software_updates),
      CI_BOOL_FIELD(M, send_stats),
      CI_BOOL_FIELD(M, express_updates_enabled),
      CI_BOOL_FIELD(M, third_party_updates_enabled),
      CI_BOOL_FIELD(M, user_changed_third_party_updates_enabled),
  };
  return access;
}

const std::vector<FieldAccess<ProxySettingsProto>>& ProxyAccess() {
  using M = ProxySettingsProto;
  static const std::vector<FieldAccess<M>> access = {
      CI_BOOL_FIELD(M, auto_detect), CI_TEXT_FIELD(M, http_host), CI_PORT_FIELD(M, http_port),
      CI_TEXT_FIELD(M, ssl_host),    CI_PORT_FIELD(M, ssl_port),  CI_BOOL_FIELD(M, proxy_for_all),
  };
  return access;
}

#undef CI_BOOL_FIELD
#undef CI_PORT_FIELD
#undef CI_TEXT_FIELD

template <typename M>
const FieldAccess<M>* Find(const std::vector<FieldAccess<M>>& access, const FieldOption& field_option) {
  for (const FieldAccess<M>& field : access) {
    if (std::strcmp(field.name, field_option.name) == 0) return &field;
  }
  return nullptr;
}

template <typename M>
std::string Build(const std::vector<FieldAccess<M>>& access,
                  const std::vector<FieldSetting>& settings) {
  M message;
  for (const FieldSetting& setting : settings) {
    if (const FieldAccess<M>* field = Find(access, *setting.field_option)) field->set(message, setting);
  }
  std::string bytes;
  AppendEncoded(message, &bytes);
  return bytes;
}

template <typename M>
bool Decode(const std::vector<FieldAccess<M>>& access, const std::vector<FieldOption>& options,
            const std::string& bytes, std::vector<ShownField>* shown) {
  M message;
  if (!ParseFromBytes(&message, reinterpret_cast<const uint8_t*>(bytes.data()),
                      static_cast<int32_t>(bytes.size()))) {
    return false;
  }
  shown->clear();
  for (const FieldOption& field_option : options) {
    const FieldAccess<M>* field = Find(access, field_option);
    if (field == nullptr) continue;
    ShownField entry{&field_option, field->has(message), FieldSetting{}};
    entry.value.field_option = &field_option;
    field->get(message, &entry.value);
    shown->push_back(std::move(entry));
  }
  return true;
}

}  // namespace

std::string BuildPreferencesMessage(const std::vector<FieldSetting>& fields) {
  return Build(PreferenceAccess(), fields);
}

std::string BuildProxyMessage(const std::vector<FieldSetting>& fields) {
  return Build(ProxyAccess(), fields);
}

bool DecodePreferences(const std::string& bytes, std::vector<ShownField>* fields) {
  return Decode(PreferenceAccess(), PreferenceFields(), bytes, fields);
}

bool DecodeProxySettings(const std::string& bytes, std::vector<ShownField>* fields) {
  return Decode(ProxyAccess(), ProxyFields(), bytes, fields);
}

std::string FieldValueText(const ShownField& field) {
  switch (field.field_option->type) {
    case FieldType::kBool:
      return field.value.flag ? "true" : "false";
    case FieldType::kPort:
      return std::to_string(field.value.number);
    case FieldType::kText:
      return field.value.text;
  }
  return std::string();
}

std::string FieldValueJson(const ShownField& field) {
  return field.field_option->type == FieldType::kText ? JsonString(field.value.text)
                                              : FieldValueText(field);
}

}  // namespace ci
