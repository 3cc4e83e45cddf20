// The machine preferences store: decoded from a service argument, saved as the
// value "machine_prefs" with the crash-reporting consent "SendAnonymousData"
// beside it.
#pragma once

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"
#include "ci/prefs/machine_preferences_wrapper.h"

namespace ci {

class MachinePreferences final : public MachinePreferencesWrapper {
 public:
  // Writes "machine_prefs" (the checksummed message; removed when the message is
  // empty) and "SendAnonymousData" (1 when send_stats is true, else 0) under
  // kMachineRoot. Best effort: registry failures are not reported; always S_OK.
  HResult SaveMachinePreferences();
  // The same below another key path.
  HResult SaveMachinePreferencesAt(const WString& key_path);
};

}  // namespace ci
