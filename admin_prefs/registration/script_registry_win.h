// The registry scripts applied to the Windows registry.
#pragma once

#include <windows.h>

#include "admin_prefs/registration/registry_script_walk.h"

namespace ci {

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
