// Applies a parsed registry script to a registry: the registration and
// unregistration walks.
#pragma once

#include <cstdint>

#include "admin_prefs/registration/registry_script_parser.h"

namespace ci {

// What the walks need of a registry. Keys are named by their root and their path
// below it (names joined with backslashes). Failures are HRESULTs made from the
// platform's errors.
class ScriptRegistry {
 public:
  virtual ~ScriptRegistry() = default;
  // Opens the key, creating it and any missing key above it.
  virtual HResult CreateKey(ScriptRoot root, const WString& path) = 0;
  // Succeeds when the key exists and can be opened for changes.
  virtual HResult OpenKey(ScriptRoot root, const WString& path) = 0;
  // Deletes the key with its whole subtree; a missing key is success.
  virtual HResult DeleteKeyTree(ScriptRoot root, const WString& path) = 0;
  // Deletes a key that has no sub-keys, with its values.
  virtual HResult DeleteKey(ScriptRoot root, const WString& path) = 0;
  virtual HResult CountSubKeys(ScriptRoot root, const WString& path, std::uint32_t* count) = 0;
  // Writes one value of an existing key (an empty name is the default value).
  virtual HResult SetValue(ScriptRoot root, const WString& path, const ScriptValue& value) = 0;
  // Deletes one named value; a missing value is success.
  virtual HResult DeleteValue(ScriptRoot root, const WString& path, const WString& name) = 0;
};

// Registration: every key is opened or created (a ForceRemove key is deleted with
// its subtree first) and its values are written. A root block that fails is
// unregistered again and its first failure returned; blocks before it stay.
HResult RegisterScript(const ParsedScript& script, ScriptRegistry& registry);

// Unregistration: every listed value is deleted, a key that cannot be opened is
// skipped with its block, and after its block a key that is not NoRemove is
// deleted when no sub-key remains. Stops at the first failure.
HResult UnregisterScript(const ParsedScript& script, ScriptRegistry& registry);

}  // namespace ci
