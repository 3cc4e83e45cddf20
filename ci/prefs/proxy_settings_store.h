// The proxy settings store: decoded from a service argument and saved as the
// value "ProxySettings"; and the removal of that value under the machine or the
// user key.
#pragma once

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"
#include "ci/prefs/proxy_settings_wrapper.h"

namespace ci {

class ProxySettings final : public ProxySettingsWrapper {
 public:
  // Writes "ProxySettings" (the checksummed message) under kMachineRoot. Best
  // effort: registry failures are not reported; always S_OK.
  HResult WriteProxySettings();
  // The same below another key path.
  HResult WriteProxySettingsAt(const WString& key_path);
};

// Removes "ProxySettings" under kMachineRoot (machine) or kUserRoot (not machine).
// A missing value or key is fine, and failures are not reported: always S_OK.
HResult DeleteProxySettings(bool machine);
// The same below another key path.
HResult DeleteProxySettingsAt(const WString& key_path);

}  // namespace ci
