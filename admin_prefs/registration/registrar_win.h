// The registrar on the machine: registry scripts stored as resources of a
// module, and the Windows registry the scripts are applied to.
#pragma once

#include <windows.h>

#include "admin_prefs/registration/registrar.h"

namespace ci {

// Reads resource `id` of type "REGISTRY" from the module file at `module_path`
// (loaded as a data file) and widens its 8-bit text with the thread's ANSI code
// page; the text ends at its first 0 byte. Failures to load, find or lock the
// resource give the HRESULT of the platform's error.
HResult LoadScriptResource(const WString& module_path, int id, WString* text);

// Loads the script and runs it on the machine's registry.
HResult RunScriptResource(const Registrar& registrar, const WString& module_path, int id,
                          ScriptAction action);

// The predefined key of a script's root name.
HKEY ScriptRootKey(ScriptRoot root);

// Opens each key per operation and closes it again. Values of type d are converted
// with VarUI4FromStr.
class WindowsScriptRegistry : public ScriptRegistry {
 public:
  HResult CreateKey(ScriptRoot root, const WString& path) override;
  HResult OpenKey(ScriptRoot root, const WString& path) override;
  HResult DeleteKeyTree(ScriptRoot root, const WString& path) override;
  HResult DeleteKey(ScriptRoot root, const WString& path) override;
  HResult CountSubKeys(ScriptRoot root, const WString& path, std::uint32_t* count) override;
  HResult SetValue(ScriptRoot root, const WString& path, const ScriptValue& value) override;
  HResult DeleteValue(ScriptRoot root, const WString& path, const WString& name) override;
};

}  // namespace ci
