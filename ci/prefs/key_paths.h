// Registry key paths: a root name, a backslash and the sub-key path. How a path
// splits into its root and sub-key, which root a name denotes, and the product's
// own locations.
#pragma once

#include "ci/base/wide_string.h"

namespace ci {

// Machine-wide preferences, consent, proxy settings, EULA values and install data.
inline constexpr char16_t kMachineRoot[] = u"HKLM\\Software\\Velmor\\Velmor Updater";
// The per-user key; this product only removes its proxy settings.
inline constexpr char16_t kUserRoot[] = u"HKCU\\Software\\Velmor\\Velmor Updater";
// Values shared by the product's processes (the failure-site counters).
inline constexpr char16_t kSharedRoot[] = u"HKLM\\Software\\Velmor\\Velmor Updater\\Shared";

// The four predefined roots a key path may name.
enum class RootKeyId { kUnknown, kLocalMachine, kCurrentUser, kUsers, kClassesRoot };

// The root named by `name` ("HKLM"/"HKEY_LOCAL_MACHINE", "HKCU"/"HKEY_CURRENT_USER",
// "HKU"/"HKEY_USERS", "HKCR"/"HKEY_CLASSES_ROOT"), ignoring ASCII letter case;
// kUnknown for anything else, the empty name included.
RootKeyId MatchRootName(const WString& name);

// Replaces `key_path` with its sub-key path (everything after the first backslash,
// empty when there is none) and returns the root its root name denotes.
RootKeyId SplitKeyPath(WString* key_path);

}  // namespace ci
