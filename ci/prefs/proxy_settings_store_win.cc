#include "ci/prefs/proxy_settings_store.h"

#include "ci/prefs/key_paths.h"
#include "ci/prefs/reg_key.h"
#include "ci/prefs/stored_value.h"

namespace ci {
namespace {

constexpr char16_t kProxySettingsValue[] = u"ProxySettings";

}  // namespace

HResult ProxySettings::WriteProxySettings() { return WriteProxySettingsAt(kMachineRoot); }

HResult ProxySettings::WriteProxySettingsAt(const WString& key_path) {
  // auto_detect is always encoded, so the value is always written, never removed.
  ProtoRegistryWriter writer;
  writer.Open(key_path);
  writer.Save(this, kProxySettingsValue);
  return kS_OK;
}

HResult DeleteProxySettings(bool machine) {
  return DeleteProxySettingsAt(machine ? kMachineRoot : kUserRoot);
}

HResult DeleteProxySettingsAt(const WString& key_path) {
  RegKey::DeleteValue(key_path, kProxySettingsValue);
  return kS_OK;
}

}  // namespace ci
