// adminprefs doctor's checks: each a decision over what the Windows side read,
// giving one line (ok, information, warning or problem) with what to do.
// Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"
#include "tools/registration_expectations.h"
#include "tools/stored_report.h"

namespace ci {

enum class CheckLevel { kOk, kInfo, kWarning, kProblem };

struct CheckResult {
  std::string name;
  CheckLevel level = CheckLevel::kOk;
  std::string detail;  // what was found
  std::string advice;  // what to do; empty when nothing is to be done
};

// Which check an entry of the class script belongs to.
enum class ClassPart { kClass, kProgId, kLocalServer, kElevation, kResourceModule };
ClassPart ClassPartOf(const ExpectedEntry& entry);

// The server's path from a LocalServer32 value: the text between the quotes, or
// the whole (trimmed) value when it is not quoted.
WString LocalServerPath(const WString& value, bool* quoted);
// The path of an "@PATH,-ID" reference; empty for another form.
WString ReferencePath(const WString& reference);

// Keys and values against the scripts: `scripts_result` is a failure when the
// scripts themselves could not be read.
CheckResult CheckEntries(const std::string& name, const std::vector<CheckedEntry>& entries,
                         HResult scripts_result);

struct LocalServerFacts {
  bool present = false;  // the value could be read as text
  WString value;
  bool file_exists = false;  // of LocalServerPath(value)
};
CheckResult CheckLocalServer(const LocalServerFacts& facts);

struct ElevationFacts {
  std::vector<CheckedEntry> entries;
  bool server_known = false;  // LocalServer32 names a server (the icon's expected file)
  bool server_exists = false;
  bool icon_found = false;  // the server file has the icon the reference names
};
CheckResult CheckElevation(const ElevationFacts& facts);

struct TypeLibraryFacts {
  HResult path_result = kS_OK;  // of looking up the registered path
  WString path;
  HResult load_result = kS_OK;   // of loading it from that path
  bool interface_found = false;  // it describes IAdminPrefsManager
};
CheckResult CheckTypeLibrary(const TypeLibraryFacts& facts);

// HKCR\Interface\{IID}: its ProxyStubClsid32 and TypeLib default values.
struct InterfaceFacts {
  ObservedEntry proxy_stub;
  ObservedEntry type_library;
};
CheckResult CheckInterface(const InterfaceFacts& facts);

struct AccessPermissionFacts {
  bool present = false;
  std::uint32_t type = 0;
  bool decodes = false;   // a valid security descriptor
  WString text;           // its SDDL form
  WString expected_text;  // the registration's descriptor in SDDL form
};
CheckResult CheckAccessPermission(const AccessPermissionFacts& facts);

struct ResourceModuleFacts {
  CheckedEntry localized_string;
  bool server_known = false;  // so that the expected path is known
  bool file_exists = false;   // of ReferencePath(the value)
};
CheckResult CheckResourceModule(const ResourceModuleFacts& facts);

CheckResult CheckActivation(HResult result, std::uint32_t milliseconds);

CheckResult CheckStoredValue(const std::string& value_name, StoredKind kind, const RawValue& value);

// The consent as stored and as the crash reporter reads it.
CheckResult ConsentInformation(const RawValue& stored, bool reporter_consents);
// The dump type as stored and as read (`read` a failure: the default is used).
CheckResult DumpTypeInformation(const RawValue& stored, HResult read, std::uint32_t value);

struct ProxyFacts {
  std::string client;
  HResult result = kS_OK;
  std::uint32_t access_type = 0;
  std::string proxy;
  std::string bypass;
};
CheckResult ProxyInformation(const ProxyFacts& facts);

std::string FormatDoctorText(const std::vector<CheckResult>& results);
std::string FormatDoctorJson(const std::vector<CheckResult>& results);
// 0 when no check found a problem, 1 otherwise.
int DoctorExitCode(const std::vector<CheckResult>& results);

}  // namespace ci
