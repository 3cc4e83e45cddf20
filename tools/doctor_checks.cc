#include "tools/doctor_checks.h"

#include "admin_prefs/registration/registration.h"
#include "ci/base/utf8.h"
#include "ci/base/wide_string.h"
#include "tools/hex.h"
#include "tools/hresult_text.h"
#include "tools/json_text.h"
#include "tools/registry_text.h"

namespace ci {
namespace {

constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
// The automation marshaller (PSOAInterface) that carries OLE-automation interfaces.
constexpr char16_t kAutomationMarshaller[] = u"{00020424-0000-0000-C000-000000000046}";
constexpr char kRegisterAgain[] =
    "Register it again from an elevated prompt: VelmorUpdaterAdminPrefs.exe /RegServer";

CheckResult Result(std::string name, CheckLevel level, std::string detail,
                   std::string advice = std::string()) {
  CheckResult result;
  result.name = std::move(name);
  result.level = level;
  result.detail = std::move(detail);
  result.advice = std::move(advice);
  return result;
}

std::string Narrow(const WString& text) { return WideToUtf8(text); }
std::string Quoted(const WString& text) { return "\"" + Narrow(text) + "\""; }

const char* TypeName(std::uint32_t type) {
  switch (type) {
    case 1:
      return "REG_SZ";
    case 2:
      return "REG_EXPAND_SZ";
    case 3:
      return "REG_BINARY";
    case 4:
      return "REG_DWORD";
    case 7:
      return "REG_MULTI_SZ";
    case 11:
      return "REG_QWORD";
    default:
      return "another type";
  }
}

// A stored value in words: "1 (REG_DWORD)", "\"1\" (REG_SZ)", "01 00 (REG_BINARY)".
std::string StoredWords(const RawValue& value) {
  std::string text;
  if (value.type == kRegDword && value.data.size() == 4) {
    text = std::to_string(value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                          (static_cast<std::uint32_t>(value.data[3]) << 24));
  } else if (value.type == 1 || value.type == 2) {
    text = Quoted(RegistryText(value.data));
  } else {
    text = "[" + FormatHex(value.data) + "]";
  }
  return text + " (" + TypeName(value.type) + ")";
}

// The first mismatch of `entries` and how many more there are; empty when none.
std::string Mismatches(const std::vector<CheckedEntry>& entries) {
  std::string first;
  int more = 0;
  for (const CheckedEntry& entry : entries) {
    const std::string mismatch = EntryMismatch(entry);
    if (mismatch.empty()) continue;
    if (first.empty()) {
      first = mismatch;
    } else {
      ++more;
    }
  }
  if (more > 0) first += " (and " + std::to_string(more) + " more)";
  return first;
}

bool SameText(const WString& a, const WString& b) {
  return a.size() == b.size() && CompareChars(a.c_str(), b.c_str(), a.size(), true) == 0;
}

const char* LevelWord(CheckLevel level) {
  switch (level) {
    case CheckLevel::kOk:
      return "ok";
    case CheckLevel::kInfo:
      return "info";
    case CheckLevel::kWarning:
      return "warning";
    case CheckLevel::kProblem:
      return "problem";
  }
  return "";
}

int Count(const std::vector<CheckResult>& results, CheckLevel level) {
  int count = 0;
  for (const CheckResult& result : results) count += result.level == level ? 1 : 0;
  return count;
}

}  // namespace

ClassPart ClassPartOf(const ExpectedEntry& entry) {
  if (entry.key.find(u"\\LocalServer32") != WString::npos) return ClassPart::kLocalServer;
  if (entry.key.find(u"\\Elevation") != WString::npos) return ClassPart::kElevation;
  if (entry.is_value && entry.value_name == u"LocalizedString") return ClassPart::kResourceModule;
  if (entry.key.find(u"\\CLSID\\{") != WString::npos) return ClassPart::kClass;
  return ClassPart::kProgId;
}

WString LocalServerPath(const WString& value, bool* quoted) {
  const std::size_t begin = value.find_first_not_of(u" \t");
  const std::size_t end = value.find_last_not_of(u" \t");
  if (begin == WString::npos) {
    *quoted = false;
    return WString();
  }
  const WString trimmed = value.substr(begin, end - begin + 1);
  *quoted = trimmed.size() >= 2 && trimmed.front() == u'"' && trimmed.back() == u'"';
  return *quoted ? trimmed.substr(1, trimmed.size() - 2) : trimmed;
}

WString ReferencePath(const WString& reference) {
  const std::size_t comma = reference.rfind(u",-");
  if (reference.empty() || reference[0] != u'@' || comma == WString::npos) return WString();
  return reference.substr(1, comma - 1);
}

CheckResult CheckEntries(const std::string& name, const std::vector<CheckedEntry>& entries,
                         HResult scripts_result) {
  if (Failed(scripts_result)) {
    return Result(name, CheckLevel::kProblem,
                  "the registration's scripts cannot be read from adminprefs.exe (" +
                      HResultHex(scripts_result) + ")",
                  "Reinstall adminprefs.exe beside the server");
  }
  const std::string mismatch = Mismatches(entries);
  if (!mismatch.empty()) return Result(name, CheckLevel::kProblem, mismatch, kRegisterAgain);
  return Result(
      name, CheckLevel::kOk,
      std::to_string(entries.size()) + " keys and values as the registration writes them");
}

CheckResult CheckLocalServer(const LocalServerFacts& facts) {
  const std::string name = "LocalServer32";
  if (!facts.present) {
    return Result(name, CheckLevel::kProblem,
                  "the class names no server (LocalServer32 is missing)", kRegisterAgain);
  }
  bool quoted = false;
  const WString path = LocalServerPath(facts.value, &quoted);
  if (path.empty()) {
    return Result(name, CheckLevel::kProblem, "LocalServer32 is empty", kRegisterAgain);
  }
  if (!quoted) {
    return Result(
        name, CheckLevel::kProblem,
        Quoted(facts.value) + " is not in quotes: a path with spaces can start another program",
        kRegisterAgain);
  }
  if (!facts.file_exists) {
    return Result(name, CheckLevel::kProblem, Quoted(path) + " does not exist",
                  "Put VelmorUpdaterAdminPrefs.exe back there, or register it where it is now "
                  "(VelmorUpdaterAdminPrefs.exe /RegServer from an elevated prompt)");
  }
  const std::size_t slash = path.find_last_of(u"\\/");
  const WString file_name = slash == WString::npos ? path : path.substr(slash + 1);
  if (!SameText(file_name, kServerFileName)) {
    return Result(name, CheckLevel::kWarning,
                  "the server file is named " + Narrow(file_name) +
                      ": the AppID (with the access permission) is registered for " +
                      Narrow(kServerFileName),
                  "Name it VelmorUpdaterAdminPrefs.exe and register it again");
  }
  return Result(name, CheckLevel::kOk, Quoted(path) + " exists");
}

CheckResult CheckElevation(const ElevationFacts& facts) {
  const std::string name = "elevation";
  std::vector<CheckedEntry> checked;
  for (const CheckedEntry& entry : facts.entries) {
    // The icon's file is the server's: unknown without LocalServer32.
    if (!facts.server_known && entry.expected.value_name == u"IconReference") continue;
    checked.push_back(entry);
  }
  const std::string mismatch = Mismatches(checked);
  if (!mismatch.empty()) return Result(name, CheckLevel::kProblem, mismatch, kRegisterAgain);
  if (!facts.server_known) {
    return Result(name, CheckLevel::kProblem,
                  "Elevation is enabled; its icon reference cannot be checked without a server "
                  "path (see LocalServer32)",
                  kRegisterAgain);
  }
  if (!facts.server_exists) {
    return Result(name, CheckLevel::kWarning,
                  "enabled, but the file of its icon is missing (see LocalServer32)",
                  "Put the server back, or register it where it is now");
  }
  if (!facts.icon_found) {
    return Result(name, CheckLevel::kWarning,
                  "the server file has no icon " VU_RESOURCE_ID_TEXT(
                      VU_IDI_ELEVATION) ": the elevation prompt shows none",
                  "Install the server file of this version and register it again");
  }
  return Result(name, CheckLevel::kOk,
                "enabled, with the icon " VU_RESOURCE_ID_TEXT(VU_IDI_ELEVATION) " of the server");
}

CheckResult CheckTypeLibrary(const TypeLibraryFacts& facts) {
  const std::string name = "type library";
  if (Failed(facts.path_result)) {
    return Result(name, CheckLevel::kProblem,
                  "AdminPrefsLib 1.0 is not registered (" + HResultHex(facts.path_result) + ")",
                  kRegisterAgain);
  }
  if (Failed(facts.load_result)) {
    return Result(name, CheckLevel::kProblem,
                  "AdminPrefsLib cannot be loaded from its registered path " + Quoted(facts.path) +
                      " (" + HResultHex(facts.load_result) + ")",
                  kRegisterAgain);
  }
  if (!facts.interface_found) {
    return Result(name, CheckLevel::kProblem,
                  Quoted(facts.path) + " does not describe IAdminPrefsManager", kRegisterAgain);
  }
  return Result(
      name, CheckLevel::kOk,
      "AdminPrefsLib 1.0 loads from " + Quoted(facts.path) + " and describes IAdminPrefsManager");
}

CheckResult CheckInterface(const InterfaceFacts& facts) {
  const std::string name = "interface";
  const std::string key = "HKCR\\Interface\\" + Narrow(kAdminPrefsIid);
  const WString stub = ObservedText(facts.proxy_stub);
  if (!facts.proxy_stub.value_present) {
    return Result(name, CheckLevel::kProblem,
                  key + "\\ProxyStubClsid32 is missing: calls cannot cross to the server",
                  kRegisterAgain);
  }
  if (!SameText(stub, kAutomationMarshaller)) {
    return Result(name, CheckLevel::kProblem,
                  "IAdminPrefsManager is marshalled by " + Quoted(stub) +
                      ", not by the automation marshaller " + Narrow(kAutomationMarshaller),
                  kRegisterAgain);
  }
  const WString library = ObservedText(facts.type_library);
  if (!SameText(library, kAdminPrefsLibId)) {
    return Result(
        name, CheckLevel::kProblem,
        key + "\\TypeLib is " + Quoted(library) + ", expected " + Narrow(kAdminPrefsLibId),
        kRegisterAgain);
  }
  return Result(name, CheckLevel::kOk,
                "IAdminPrefsManager is marshalled by the automation marshaller from "
                "AdminPrefsLib");
}

CheckResult CheckAccessPermission(const AccessPermissionFacts& facts) {
  const std::string name = "access permission";
  if (!facts.present) {
    return Result(name, CheckLevel::kProblem,
                  "HKCR\\AppID\\" + Narrow(kAdminPrefsAppId) +
                      ": AccessPermission is missing (the machine's default applies)",
                  kRegisterAgain);
  }
  if (facts.type != kRegBinary || !facts.decodes) {
    return Result(
        name, CheckLevel::kProblem,
        std::string("AccessPermission is not a security descriptor (") + TypeName(facts.type) + ")",
        kRegisterAgain);
  }
  if (facts.text != facts.expected_text) {
    return Result(
        name, CheckLevel::kProblem,
        "AccessPermission is " + Narrow(facts.text) + ", expected " + Narrow(facts.expected_text),
        kRegisterAgain);
  }
  return Result(name, CheckLevel::kOk, "AccessPermission is " + Narrow(facts.text));
}

CheckResult CheckResourceModule(const ResourceModuleFacts& facts) {
  const std::string name = "resource module";
  const ObservedEntry& observed = facts.localized_string.observed;
  if (!observed.value_present) {
    return Result(name, CheckLevel::kWarning,
                  "the class has no LocalizedString: the elevation prompt shows no localised name",
                  kRegisterAgain);
  }
  const std::string mismatch = facts.server_known ? EntryMismatch(facts.localized_string) : "";
  if (!mismatch.empty()) return Result(name, CheckLevel::kWarning, mismatch, kRegisterAgain);
  const WString path = ReferencePath(ObservedText(observed));
  if (!facts.file_exists) {
    return Result(name, CheckLevel::kWarning,
                  Quoted(path) + " is absent; only the elevation prompt's localised name needs it",
                  "Install cires.dll there for the localised name");
  }
  return Result(name, CheckLevel::kOk, Quoted(path) + " exists");
}

CheckResult CheckActivation(HResult result, std::uint32_t milliseconds) {
  const std::string name = "activation";
  if (Failed(result)) {
    std::string words = DescribeServerResult(result);
    if (words.empty()) words = "the server could not be activated";
    return Result(name, CheckLevel::kProblem, words + " (" + HResultHex(result) + ")",
                  "See the checks above");
  }
  return Result(name, CheckLevel::kOk,
                "the server started and was released in " + std::to_string(milliseconds) +
                    " ms (no operation called)");
}

CheckResult CheckStoredValue(const std::string& value_name, StoredKind kind,
                             const RawValue& value) {
  const StoredMessage message = InspectStoredMessage(value_name, kind, value);
  const std::string rewrite = kind == StoredKind::kPreferences
                                  ? "Save the preferences again: adminprefs set-prefs ..."
                                  : "Save the proxy settings again: adminprefs set-proxy ...";
  switch (message.state) {
    case StoredState::kAbsent:
      return Result(value_name, CheckLevel::kOk, "not stored");
    case StoredState::kValid:
      return Result(value_name, CheckLevel::kOk,
                    "checksum ok, " + std::to_string(message.bytes.size()) + " bytes, decodes");
    case StoredState::kWrongType:
      return Result(value_name, CheckLevel::kProblem,
                    std::string("not a REG_BINARY value (") + TypeName(value.type) + ")", rewrite);
    case StoredState::kBadChecksum:
      return Result(value_name, CheckLevel::kProblem, "the checksum does not match", rewrite);
    case StoredState::kUndecodable:
      return Result(value_name, CheckLevel::kProblem,
                    "checksum ok, but the message does not decode", rewrite);
  }
  return Result(value_name, CheckLevel::kProblem, "unknown state");
}

CheckResult ConsentInformation(const RawValue& stored, bool reporter_consents) {
  const std::string outcome =
      reporter_consents ? "crash reports are sent (with a small dump)" : "no crash report is sent";
  const std::string found = stored.present ? "SendAnonymousData = " + StoredWords(stored)
                                           : "SendAnonymousData is not set";
  return Result("crash-report consent", CheckLevel::kInfo, found + ": " + outcome);
}

CheckResult DumpTypeInformation(const RawValue& stored, HResult read, std::uint32_t value) {
  std::string found = stored.present ? "minidump_type = " + StoredWords(stored)
                                     : std::string("minidump_type is not set");
  found += Succeeded(read) ? ": dumps of type " + Hex32(value)
                           : ": the default dump type " + Hex32(value) + " is used";
  return Result("dump type", CheckLevel::kInfo, found);
}

CheckResult ProxyInformation(const ProxyFacts& facts) {
  const std::string name = "default proxy";
  if (Failed(facts.result)) {
    return Result(name, CheckLevel::kInfo,
                  facts.client + " cannot read it (" + HResultHex(facts.result) + ")",
                  "See adminprefs proxy-config");
  }
  std::string detail = facts.client + ": ";
  switch (facts.access_type) {
    case 0:
      detail += "direct";
      break;
    case 1:
      detail += "named proxy " + facts.proxy;
      if (!facts.bypass.empty()) detail += " (bypass " + facts.bypass + ")";
      break;
    default:
      detail += "another access type";
      break;
  }
  return Result(name, CheckLevel::kInfo, detail);
}

std::string FormatDoctorText(const std::vector<CheckResult>& results) {
  std::string text;
  for (const CheckResult& result : results) {
    std::string line = LevelWord(result.level);
    line.resize(9, ' ');
    line += result.name + ": " + result.detail;
    if (!result.advice.empty()) line += ". " + result.advice;
    text += line + "\n";
  }
  const int problems = Count(results, CheckLevel::kProblem);
  const int warnings = Count(results, CheckLevel::kWarning);
  text += "doctor: " + std::to_string(results.size()) + " checks, " + std::to_string(problems) +
          (problems == 1 ? " problem, " : " problems, ") + std::to_string(warnings) +
          (warnings == 1 ? " warning\n" : " warnings\n");
  return text;
}

std::string FormatDoctorJson(const std::vector<CheckResult>& results) {
  std::string json = "{\"checks\": [";
  for (std::size_t i = 0; i < results.size(); ++i) {
    const CheckResult& result = results[i];
    json += std::string(i ? ", " : "") + "{\"check\": " + JsonString(result.name) +
            ", \"level\": " + JsonString(LevelWord(result.level)) +
            ", \"detail\": " + JsonString(result.detail) +
            ", \"advice\": " + JsonString(result.advice) + "}";
  }
  return json + "], \"problems\": " + std::to_string(Count(results, CheckLevel::kProblem)) +
         ", \"warnings\": " + std::to_string(Count(results, CheckLevel::kWarning)) + "}\n";
}

int DoctorExitCode(const std::vector<CheckResult>& results) {
  return Count(results, CheckLevel::kProblem) > 0 ? 1 : 0;
}

}  // namespace ci
