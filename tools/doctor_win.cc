#include "tools/doctor_win.h"

#include <windows.h>
#include <oleauto.h>
#include <sddl.h>

#include <cstdio>
#include <memory>

#include "admin_prefs/admin_prefs_idl.h"
#include "admin_prefs/registration/access_permission_win.h"
#include "admin_prefs/registration/registrar_win.h"
#include "admin_prefs/registration/registration.h"
#include "ci/base/win_handles.h"
#include "ci/base/paths.h"
#include "ci/base/utf8.h"
#include "ci/crash/crash_reporter.h"
#include "ci/net/http_client.h"
#include "ci/prefs/key_paths.h"
#include "ci/prefs/reg_key.h"
#include "tools/doctor_checks.h"
#include "tools/http_command_win.h"
#include "tools/server_activation_win.h"
#include "tools/server_client_win.h"

namespace ci {
namespace {

ObservedEntry ReadEntry(HKEY root, const WString& key_path, bool is_value, const WString& name) {
  ObservedEntry entry;
  RegKey key;
  entry.key_present = Succeeded(key.Open(root, key_path, KEY_QUERY_VALUE));
  if (entry.key_present && is_value) {
    DWORD type = REG_NONE;
    entry.value_present = Succeeded(key.QueryBinaryValue(name, &entry.data, &type));
    entry.type = type;
  }
  return entry;
}

bool IsFile(const WString& path) {
  const DWORD attributes = ::GetFileAttributesW(AsWin(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What the registration of the script `id` writes, read back from the registry.
HResult CheckScript(int id, const Registrar& registrar, std::vector<CheckedEntry>* entries) {
  WString text;
  VU_RETURN_IF_FAILED(LoadScriptResource(GetModulePath(nullptr), id, &text));
  ParsedScript script;
  VU_RETURN_IF_FAILED(registrar.Parse(text, &script));
  for (ExpectedEntry& expected : ExpectedEntries(script)) {
    CheckedEntry entry;
    entry.observed = ReadEntry(ScriptRootKey(expected.root), expected.key, expected.is_value,
                               expected.value_name);
    entry.expected = std::move(expected);
    entries->push_back(std::move(entry));
  }
  return kS_OK;
}

bool HasIcon(const WString& module_path, int id) {
  UniqueLibrary module(::LoadLibraryExW(AsWin(module_path), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  return module && ::FindResourceW(module.get(), MAKEINTRESOURCEW(id), RT_GROUP_ICON) != nullptr;
}

// The descriptor in SDDL form (owner, group and access list); false when the
// bytes are not a valid one.
bool DescriptorText(const std::vector<std::uint8_t>& bytes, WString* text) {
  std::vector<std::uint8_t> copy(bytes);  // aligned storage of our own
  if (copy.empty() || !::IsValidSecurityDescriptor(copy.data())) return false;
  UniqueLocalMemory converted;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          copy.data(), SDDL_REVISION_1,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          reinterpret_cast<LPWSTR*>(converted.put()), nullptr)) {
    return false;
  }
  *text = FromWin(static_cast<const wchar_t*>(converted.get()));
  return true;
}

AccessPermissionFacts ReadAccessPermission() {
  AccessPermissionFacts facts;
  const ObservedEntry value = ReadEntry(HKEY_CLASSES_ROOT, WString(u"AppID\\") + kAdminPrefsAppId,
                                        true, u"AccessPermission");
  facts.present = value.value_present;
  facts.type = value.type;
  facts.decodes = facts.present && DescriptorText(value.data, &facts.text);
  std::vector<BYTE> expected;
  if (Succeeded(DescriptorBytesFromSddl(kAccessPermissionSddl, &expected))) {
    DescriptorText(std::vector<std::uint8_t>(expected.begin(), expected.end()),
                   &facts.expected_text);
  }
  return facts;
}

TypeLibraryFacts ReadTypeLibrary() {
  TypeLibraryFacts facts;
  UniqueBstr path;
  facts.path_result =
      ::QueryPathOfRegTypeLib(LIBID_AdminPrefsLib, 1, 0, LOCALE_NEUTRAL, path.put());
  if (Failed(facts.path_result)) return facts;
  facts.path = FromWin(path.get());
  while (!facts.path.empty() && facts.path.back() == 0) facts.path.pop_back();
  ComPtr<ITypeLib> library;
  // REGKIND_NONE: looking must not register anything.
  facts.load_result = ::LoadTypeLibEx(AsWin(facts.path), REGKIND_NONE, library.GetAddressOf());
  if (Failed(facts.load_result)) return facts;
  ComPtr<ITypeInfo> info;
  facts.interface_found =
      SUCCEEDED(library->GetTypeInfoOfGuid(IID_IAdminPrefsManager, info.GetAddressOf()));
  return facts;
}

CheckResult Activate() {
  const DWORD start = ::GetTickCount();
  HResult result = kS_OK;
  {
    ComApartment apartment;
    if (!apartment.joined()) return CheckActivation(apartment.hr(), 0);
    ComPtr<IAdminPrefsManager> manager;
    result = CreateServerObject(CLSID_AdminPrefsManagerCtl, IID_IAdminPrefsManager,
                                reinterpret_cast<void**>(manager.GetAddressOf()));
  }
  return CheckActivation(result, ::GetTickCount() - start);
}

CheckResult ReadProxyInformation() {
  ProxyFacts facts;
  std::unique_ptr<HttpClient> client = CreateHttpClient();
  if (!client) {
    facts.client = "no HTTP client";
    facts.result = kE_NOTIMPL;
    return ProxyInformation(facts);
  }
  facts.client = HttpClientName(client.get());
  WString proxy, bypass;
  facts.result = client->GetDefaultProxyConfiguration(&facts.access_type, &proxy, &bypass);
  facts.proxy = WideToUtf8(proxy);
  facts.bypass = WideToUtf8(bypass);
  return ProxyInformation(facts);
}

std::vector<CheckResult> RunChecks() {
  std::vector<CheckResult> results;
  const WString class_key = WString(u"SOFTWARE\\Classes\\CLSID\\") + kAdminPrefsClsid;

  LocalServerFacts local_server;
  const ObservedEntry local_server_value =
      ReadEntry(HKEY_LOCAL_MACHINE, class_key + u"\\LocalServer32", true, WString());
  local_server.present = local_server_value.value_present && local_server_value.type == REG_SZ;
  local_server.value = ObservedText(local_server_value);
  bool quoted = false;
  const WString server_path = LocalServerPath(local_server.value, &quoted);
  local_server.file_exists = !server_path.empty() && IsFile(server_path);
  // What the registration of a server at that path writes.
  const WString resource_module =
      server_path.empty() ? WString() : ResourceModulePathFor(GetDirectoryPart(server_path));

  std::vector<CheckedEntry> app_id_entries, class_entries;
  const HResult app_id_read = CheckScript(
      kAppIdScriptId, ScriptRegistrar(AppIdReplacements(), server_path), &app_id_entries);
  const HResult class_read =
      CheckScript(kClassScriptId, ScriptRegistrar(ClassReplacements(resource_module), server_path),
                  &class_entries);
  std::vector<CheckedEntry> class_part, prog_id_part;
  ElevationFacts elevation;
  ResourceModuleFacts resource;
  resource.server_known = elevation.server_known = !server_path.empty();
  for (CheckedEntry& entry : class_entries) {
    switch (ClassPartOf(entry.expected)) {
      case ClassPart::kClass:
        class_part.push_back(entry);
        break;
      case ClassPart::kProgId:
        prog_id_part.push_back(entry);
        break;
      case ClassPart::kElevation:
        elevation.entries.push_back(entry);
        break;
      case ClassPart::kResourceModule:
        resource.localized_string = entry;
        break;
      case ClassPart::kLocalServer:
        break;  // LocalServer32 has a check of its own
    }
  }
  results.push_back(CheckEntries("class", class_part, class_read));
  results.push_back(CheckEntries("ProgID", prog_id_part, class_read));
  results.push_back(CheckEntries("AppID", app_id_entries, app_id_read));
  results.push_back(CheckLocalServer(local_server));
  elevation.server_exists = local_server.file_exists;
  elevation.icon_found = local_server.file_exists && HasIcon(server_path, VU_IDI_ELEVATION);
  results.push_back(CheckElevation(elevation));
  {
    ComApartment apartment;  // the type library calls need COM
    results.push_back(CheckTypeLibrary(ReadTypeLibrary()));
  }
  InterfaceFacts interface_facts;
  const WString interface_key = WString(u"Interface\\") + kAdminPrefsIid;
  interface_facts.proxy_stub =
      ReadEntry(HKEY_CLASSES_ROOT, interface_key + u"\\ProxyStubClsid32", true, WString());
  interface_facts.type_library =
      ReadEntry(HKEY_CLASSES_ROOT, interface_key + u"\\TypeLib", true, WString());
  results.push_back(CheckInterface(interface_facts));
  results.push_back(CheckAccessPermission(ReadAccessPermission()));
  resource.file_exists = IsFile(ReferencePath(ObservedText(resource.localized_string.observed)));
  results.push_back(CheckResourceModule(resource));
  results.push_back(Activate());

  const MachineValues values = ReadMachineValues();
  results.push_back(
      CheckStoredValue("machine_prefs", StoredKind::kPreferences, values.machine_prefs));
  results.push_back(
      CheckStoredValue("ProxySettings", StoredKind::kProxySettings, values.proxy_settings));
  // Consent and dump type as the crash reporter reads them.
  const CrashReporter reporter(CrashReporterSettings::Defaults(ReportUpload()));
  results.push_back(ConsentInformation(values.send_anonymous_data, reporter.ReportingConsent()));
  DWORD dump_type = kDefaultMinidumpType;
  const HResult dump_type_read = RegKey::GetValue(kMachineRoot, kMinidumpTypeValue, &dump_type);
  if (Failed(dump_type_read)) dump_type = kDefaultMinidumpType;
  results.push_back(
      DumpTypeInformation(ReadMachineValue(kMinidumpTypeValue), dump_type_read, dump_type));
  results.push_back(ReadProxyInformation());
  return results;
}

}  // namespace

int RunDoctor(bool json) {
  const std::vector<CheckResult> results = RunChecks();
  std::fputs((json ? FormatDoctorJson(results) : FormatDoctorText(results)).c_str(), stdout);
  return DoctorExitCode(results);
}

}  // namespace ci
