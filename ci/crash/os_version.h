// Classification of the running Windows version. The classification itself is a
// pure function of the version record; the probe and its cache live in
// os_version_win.cc.
#pragma once

#include <cstdint>

namespace ci {

enum OsVersionClass : int {
  kOsUnknown = 1,
  kOsPre2000 = 2,
  kOs2000 = 3,
  kOsXP = 4,
  kOsServer2003 = 5,
  kOsVista = 6,
};

// What the version query reported.
struct OsVersionInfo {
  bool query_succeeded = false;
  std::uint32_t platform_id = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  int service_pack_major = 0;
};

struct OsVersionClassification {
  OsVersionClass os_class = kOsUnknown;
  int service_pack_major = -1;  // -1 where the class does not record it
};

// Only 6.0 is the Vista class; later versions are unknown (class 1) and take the
// pre-Vista paths.
OsVersionClassification ClassifyOsVersion(const OsVersionInfo& info);

// The cached class of the running system, filled on first use and again while it
// still holds kOsUnknown or no service pack. `service_pack_major` may be null.
OsVersionClass GetOsVersionClass(int* service_pack_major = nullptr);

// True for the Vista class and above.
bool IsVistaClass();

}  // namespace ci
