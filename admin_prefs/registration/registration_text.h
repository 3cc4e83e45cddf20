// The server's COM identity and the text rules of its registration.
#pragma once

#include <cstddef>

#include "admin_prefs/resource_ids.h"
#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// Identifiers in registry form (upper-case hexadecimal with braces).
constexpr char16_t kAdminPrefsClsid[] = u"{AF2A86CC-90BE-453F-95FD-140F8CCFE558}";
constexpr char16_t kAdminPrefsAppId[] = u"{D286CF35-0D59-44A3-8579-6BCEC4E291C7}";
constexpr char16_t kAdminPrefsLibId[] = u"{347D20CF-2DD9-4789-AB9B-489066C3DF94}";
constexpr char16_t kAdminPrefsIid[] = u"{ED6F706E-7797-40B8-AC90-F6DAAB917C90}";
constexpr char16_t kAdminPrefsProgId[] = u"AdminPrefsManager.AdminPrefsManagerCtl";

// Resources of the executable.
constexpr int kAppIdScriptId = VU_IDR_APPID_SCRIPT;
constexpr int kClassScriptId = VU_IDR_CLASS_SCRIPT;
constexpr char16_t kScriptResourceType[] = u"REGISTRY";

// Who may call the server: owner and group Administrators; COM execute and local
// execute (0x3) for interactive users and for the local system account.
constexpr char16_t kAccessPermissionSddl[] = u"O:BAG:BAD:(A;;0x3;;;IU)(A;;0x3;;;SY)";

// Paths fill buffers of 260 characters with their terminator.
constexpr std::size_t kMaxModulePathLength = 259;

// Single quotes doubled, so the path survives the script's quoted tokens.
WString EscapeScriptQuotes(const WString& text);

// The `Module` replacement: the escaped path in double quotes (the executable is
// the registering module, and a local server's command line needs them).
WString ModuleReplacement(const WString& module_path);
// The `Module_Raw` replacement: the escaped path without quotes.
WString ModuleRawReplacement(const WString& module_path);

// `path` with its extension (from the last "." after the last "\") replaced by
// ".tlb", or ".tlb" appended when it has none. E_FAIL when the result would not
// fit in kMaxModulePathLength characters.
HResult TypeLibraryFilePath(const WString& path, WString* tlb_path);

// The help directory to register a type library with: its help file name cut
// after the last "\", "/" or ":", or empty when the name has none of them.
WString HelpDirectoryOf(const WString& help_file);

}  // namespace ci
