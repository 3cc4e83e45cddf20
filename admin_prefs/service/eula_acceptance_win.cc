#include "admin_prefs/service/eula_acceptance.h"

#include <objbase.h>

#include "admin_prefs/service/first_run_path.h"
#include "ci/base/paths.h"
#include "ci/base/wide_string.h"
#include "ci/base/win_handles.h"
#include "ci/crash/report_ids.h"
#include "ci/prefs/key_paths.h"
#include "ci/prefs/proxy_settings_store.h"
#include "ci/prefs/reg_key.h"

namespace ci {
namespace {

constexpr char16_t kInstallDirValue[] = u"install_dir";
constexpr char16_t kVersionValue[] = u"version";
constexpr char16_t kOfflineValue[] = u"offline";
constexpr char16_t kNoEulaValue[] = u"no_eula";
constexpr char16_t kTermsAcceptedValue[] = u"tc_accpt";
constexpr char16_t kUserIdValue[] = u"userid";
constexpr char16_t kNoUserId[] = u"00000000-0000-0000-0000-000000000000";

// A value that cannot be read counts as empty.
WString ReadString(const WString& key_path, const WString& value_name) {
  WString text;
  if (Failed(RegKey::GetValue(key_path, value_name, &text))) text.clear();
  return text;
}

// Starts the first-run program of the current version, when both values are
// known and make a path inside the install directory; otherwise the operation
// goes on as after a failed launch. Neither the launch's outcome nor the
// program's matters to the operation.
void StartFirstRunProgram(const WString& machine_root) {
  WString program;
  if (!MakeFirstRunProgramPath(ReadString(machine_root, kInstallDirValue),
                               ReadString(machine_root, kVersionValue), &program)) {
    return;
  }
  PROCESS_INFORMATION info;
  if (Succeeded(RunProgram(program, &info))) {
    // Nothing waits for the program: its handles are closed at once.
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
  }
}

HResult DeleteIfPresent(const WString& key_path, const WString& value_name) {
  if (!RegKey::HasValue(key_path, value_name)) return kS_OK;
  return RegKey::DeleteValue(key_path, value_name);
}

bool IsMissingUserId(const WString& user_id) {
  WString lower = user_id;
  return lower.empty() || LowerCaseInPlace(lower) == kNoUserId;
}

HResult EnsureUserId(const EulaSettings& settings) {
  WString user_id;
  if (Succeeded(RegKey::GetValue(settings.machine_root, kUserIdValue, &user_id)) &&
      !IsMissingUserId(user_id)) {
    return kS_OK;
  }
  WString fresh;
  VU_RETURN_IF_FAILED(NewGuidString(&fresh, settings.create_guid, settings.report_ids));
  return RegKey::SetValue(settings.machine_root, kUserIdValue, REG_SZ, fresh.c_str(), 0);
}

// The first failure ends the sequence; nothing done before it is undone.
HResult RecordAcceptance(const EulaSettings& settings) {
  VU_RETURN_IF_FAILED(DeleteIfPresent(settings.machine_root, kOfflineValue));
  VU_RETURN_IF_FAILED(DeleteIfPresent(settings.machine_root, kNoEulaValue));
  // Not tested first: a machine root that cannot be opened fails here.
  VU_RETURN_IF_FAILED(RegKey::DeleteValue(settings.machine_root, kTermsAcceptedValue));
  VU_RETURN_IF_FAILED(EnsureUserId(settings));
  DeleteProxySettingsAt(settings.machine_root);
  DeleteProxySettingsAt(settings.user_root);
  return kS_OK;
}

}  // namespace

EulaSettings::EulaSettings()
    : machine_root(kMachineRoot),
      user_root(kUserRoot),
      create_guid(&::CoCreateGuid),
      report_ids(nullptr) {}

HResult NewGuidString(WString* guid, GuidCreator create_guid, ReportIds* report_ids) {
  GUID value;
  const HRESULT created = create_guid(&value);
  if (FAILED(created)) {
    (report_ids ? *report_ids : GlobalReportIds()).RecordReportId(kReportIdGuidCreationFailed);
    return created;
  }
  wchar_t text[40] = {};
  // The registry form: 38 characters in braces.
  if (::StringFromGUID2(value, text, 40) != 39) return kE_FAIL;
  WString braced = FromWin(text);
  braced.erase(0, 1);
  braced.pop_back();
  *guid = braced;
  return kS_OK;
}

HResult NewGuidString(WString* guid) { return NewGuidString(guid, &::CoCreateGuid, nullptr); }

HResult AcceptEula(BSTR serialized_prefs, IAdminPrefsManager* self) {
  return AcceptEula(serialized_prefs, self, EulaSettings());
}

HResult AcceptEula(BSTR serialized_prefs, IAdminPrefsManager* self, const EulaSettings& settings) {
  StartFirstRunProgram(settings.machine_root);
  if (serialized_prefs != nullptr) {
    VU_RETURN_IF_FAILED(self->SaveAdminPreferences(serialized_prefs));
  }
  return RecordAcceptance(settings);
}

}  // namespace ci
