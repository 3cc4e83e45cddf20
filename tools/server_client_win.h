// adminprefs.exe's Windows side: calling the server through COM and reading the
// values under the machine root.
#pragma once

#include <cstdint>
#include <string>

#include "ci/base/hresult.h"
#include "tools/client_command.h"
#include "tools/stored_report.h"

namespace ci {

enum class ServerOperation { kSaveAdminPreferences, kSaveProxySettings, kSaveAcceptingEula };

// Activates the server (directly when elevated, else through the elevation
// moniker) and calls the operation with a BSTR
// holding exactly `message`, or a null BSTR when `null_message` is set.
// `activation_failed` tells a failed activation from a failed call.
HResult CallServer(ServerOperation operation, const std::string& message, bool null_message,
                   bool* activation_failed);

// One value under HKLM\Software\Velmor\Velmor Updater, as stored; absent when
// the key or the value cannot be read.
RawValue ReadMachineValue(const char16_t* name);

// The values `show` prints, from the same key.
MachineValues ReadMachineValues();

// The system's text for an HRESULT, without the trailing line break; empty if none.
std::string SystemMessage(HResult hr);

}  // namespace ci
