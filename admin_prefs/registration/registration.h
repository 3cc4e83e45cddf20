// The server's COM registration: its identity, the text rules and replacement
// pairs its two registry scripts are run with, and the four operations. The
// operations (Windows) write the AppID with its access permission and the class
// with its type library; each returns an HRESULT and leaves what it already
// wrote when a later step fails. adminprefs doctor expands the same scripts with
// the same pairs to know what the registration should hold.
#pragma once

#include <cstddef>
#include <vector>

#include "admin_prefs/registration/registrar.h"
#include "admin_prefs/resource_ids.h"
#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// --- Identity ---

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

// The file name the AppID script registers the AppID for.
constexpr char16_t kServerFileName[] = u"VelmorUpdaterAdminPrefs.exe";

// --- Text rules ---

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

// --- Replacement pairs ---

struct ReplacementPair {
  const char16_t* name;
  WString value;
};
using ReplacementList = std::vector<ReplacementPair>;

// The AppID script's pairs (APPID, DESCRIPTION, FILENAME).
const ReplacementList& AppIdReplacements();

// The class script's pairs, naming the resource module at `resource_module_path`.
ReplacementList ClassReplacements(const WString& resource_module_path);

// The registrar of one script run by the executable at `module_path`: the map's
// pairs, the module's common APPID pair, then Module (the path quoted) and
// Module_Raw.
Registrar ScriptRegistrar(const ReplacementList& map, const WString& module_path);

// --- The operations (Windows) ---

// Runs the AppID script (resource VU_IDR_APPID_SCRIPT) and writes the AppID's AccessPermission.
HResult RegisterAppId();
// Runs the class script (resource VU_IDR_CLASS_SCRIPT) and registers the type library.
HResult RegisterServer();
// Removes what the class script wrote and unregisters the type library.
HResult UnregisterServer();
// Removes the AccessPermission and what the AppID script wrote; fails when the
// AppID key cannot be opened.
HResult UnregisterAppId();

}  // namespace ci
