// Splitting a key path into its root name and sub-key path, and matching the
// root name against the four predefined roots a key path may name.
#pragma once

#include "ci/base/wide_string.h"

namespace ci {

enum class RootKeyId { kUnknown, kLocalMachine, kCurrentUser, kUsers, kClassesRoot };

// The root named by `name` ("HKLM"/"HKEY_LOCAL_MACHINE", "HKCU"/"HKEY_CURRENT_USER",
// "HKU"/"HKEY_USERS", "HKCR"/"HKEY_CLASSES_ROOT"), ignoring ASCII letter case;
// kUnknown for anything else, the empty name included.
RootKeyId MatchRootName(const WString& name);

// Replaces `key_path` with its sub-key path (everything after the first backslash,
// empty when there is none) and returns the root its root name denotes.
RootKeyId SplitKeyPath(WString* key_path);

}  // namespace ci
