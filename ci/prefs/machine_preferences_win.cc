#include "ci/prefs/machine_preferences.h"

#include "ci/prefs/key_paths.h"
#include "ci/prefs/reg_key.h"
#include "ci/prefs/stored_value.h"

namespace ci {

HResult MachinePreferences::SaveMachinePreferences() {
  return SaveMachinePreferencesAt(kMachineRoot);
}

HResult MachinePreferences::SaveMachinePreferencesAt(const WString& key_path) {
  {
    ProtoRegistryWriter writer;
    writer.Open(key_path);
    writer.Save(this, u"machine_prefs");
  }
  // Written whatever happened to the message, and whether or not send_stats was
  // present: an absent field carries the message default, false.
  const DWORD consent = send_stats() ? 1 : 0;
  RegKey::SetValue(key_path, u"SendAnonymousData", REG_DWORD, &consent, sizeof(consent));
  return kS_OK;
}

}  // namespace ci
