// What the code knows of the system it runs on: the class of the Windows version
// and the integrity level of the process. The classification is a pure function
// of the version record; the probes and the version cache live in
// os_version_win.cc.
#pragma once

#include <cstdint>

#include "ci/base/wide_string.h"

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

// The string form of the process token's integrity label ("S-1-16-12288" for
// high). False when any step of the query fails.
bool QueryProcessIntegritySid(WString* sid);

// True only on a system of the Vista class whose process token carries the low
// label "S-1-16-4096"; any failure of the query counts as not low.
bool IsLowIntegrityProcess();

}  // namespace ci
