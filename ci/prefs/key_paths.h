// The product's registry locations, each one key path: a root name, a backslash
// and the sub-key path.
#pragma once

namespace ci {

// Machine-wide preferences, consent, proxy settings, EULA values and install data.
inline constexpr char16_t kMachineRoot[] = u"HKLM\\Software\\Velmor\\Velmor Updater";
// The per-user key; this product only removes its proxy settings.
inline constexpr char16_t kUserRoot[] = u"HKCU\\Software\\Velmor\\Velmor Updater";
// Values shared by the product's processes (the failure-site counters).
inline constexpr char16_t kSharedRoot[] = u"HKLM\\Software\\Velmor\\Velmor Updater\\Shared";

}  // namespace ci
