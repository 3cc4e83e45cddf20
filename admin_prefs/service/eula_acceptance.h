// The EULA acceptance operation of the service: start the first-run program,
// optionally save the administrative preferences, then record the acceptance
// under the machine root (remove the unaccepted and offline markers, make sure
// the machine has a user identifier, remove stored proxy settings).
#pragma once

#include <windows.h>

#include "admin_prefs/admin_prefs_idl.h"
#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

class ReportIds;

// Makes a new GUID; CoCreateGuid in the product.
using GuidCreator = HRESULT(WINAPI*)(GUID*);

// Where the acceptance is recorded and how identifiers are made. The defaults are
// the product's: kMachineRoot, kUserRoot, CoCreateGuid and the process-wide
// failure-site counters.
struct EulaSettings {
  EulaSettings();
  WString machine_root;
  WString user_root;
  GuidCreator create_guid;
  ReportIds* report_ids;  // null: GlobalReportIds()
};

// A fresh user identifier: 36 upper-case hexadecimal characters in groups
// 8-4-4-4-12, no braces. When the GUID cannot be made the failure is counted under
// kReportIdGuidCreationFailed and returned, and `guid` is left unchanged.
HResult NewGuidString(WString* guid, GuidCreator create_guid, ReportIds* report_ids);
HResult NewGuidString(WString* guid);

// SaveAcceptingEulaSettings: `self` is the service object whose
// SaveAdminPreferences saves a non-null `serialized_prefs`; its failure is returned
// before anything of the acceptance changes.
HResult AcceptEula(BSTR serialized_prefs, IAdminPrefsManager* self);
HResult AcceptEula(BSTR serialized_prefs, IAdminPrefsManager* self, const EulaSettings& settings);

}  // namespace ci
