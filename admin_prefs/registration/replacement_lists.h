// The replacement pairs the two registry scripts are run with, and the registrar
// of one script run: the registration writes with them, and adminprefs doctor
// expands the same scripts with them to know what the registration should hold.
#pragma once

#include <vector>

#include "admin_prefs/registration/registrar.h"
#include "ci/base/wide_string.h"

namespace ci {

struct ReplacementPair {
  const char16_t* name;
  WString value;
};
using ReplacementList = std::vector<ReplacementPair>;

// The file name the AppID script registers the AppID for.
constexpr char16_t kServerFileName[] = u"VelmorUpdaterAdminPrefs.exe";

// The AppID script's pairs (APPID, DESCRIPTION, FILENAME).
const ReplacementList& AppIdReplacements();

// The class script's pairs, naming the resource module at `resource_module_path`.
ReplacementList ClassReplacements(const WString& resource_module_path);

// The registrar of one script run by the executable at `module_path`: the map's
// pairs, the module's common APPID pair, then Module (the path quoted) and
// Module_Raw.
Registrar ScriptRegistrar(const ReplacementList& map, const WString& module_path);

}  // namespace ci
