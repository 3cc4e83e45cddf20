#include "ci/crash/os_version.h"

namespace ci {
namespace {

constexpr std::uint32_t kPlatformWin32Nt = 2;

}  // namespace

OsVersionClassification ClassifyOsVersion(const OsVersionInfo& info) {
  OsVersionClassification result;
  if (!info.query_succeeded || info.platform_id != kPlatformWin32Nt) {
    result.os_class = kOsPre2000;
    return result;
  }
  auto with_service_pack = [&](OsVersionClass os_class) {
    result.os_class = os_class;
    result.service_pack_major = info.service_pack_major;
    return result;
  };
  switch (info.major) {
    case 6:
      return info.minor == 0 ? with_service_pack(kOsVista) : result;
    case 5:
      switch (info.minor) {
        case 2:
          return with_service_pack(kOsServer2003);
        case 1:
          return with_service_pack(kOsXP);
        case 0:
          return with_service_pack(kOs2000);
        default:
          return result;
      }
    default:
      result.os_class = info.major <= 4 ? kOsPre2000 : kOsUnknown;
      return result;
  }
}

}  // namespace ci
