// Registry scripts stored as resources of a module.
#pragma once

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

}  // namespace ci
