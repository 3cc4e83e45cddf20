#include "ci/crash/os_version.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

OsVersionInfo Nt(std::uint32_t major, std::uint32_t minor, int service_pack = 3) {
  OsVersionInfo info;
  info.query_succeeded = true;
  info.platform_id = 2;
  info.major = major;
  info.minor = minor;
  info.service_pack_major = service_pack;
  return info;
}

struct Row {
  std::uint32_t major;
  std::uint32_t minor;
  OsVersionClass expected;
  bool records_service_pack;
};

TEST(OsVersion, EveryRowOfTheClassification) {
  const Row rows[] = {
      {6, 0, kOsVista, true},     {6, 1, kOsUnknown, false},   {6, 2, kOsUnknown, false},
      {6, 3, kOsUnknown, false},  {5, 2, kOsServer2003, true}, {5, 1, kOsXP, true},
      {5, 0, kOs2000, true},      {5, 3, kOsUnknown, false},   {4, 0, kOsPre2000, false},
      {3, 51, kOsPre2000, false}, {0, 0, kOsPre2000, false},   {7, 0, kOsUnknown, false},
      {10, 0, kOsUnknown, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.major << "." << row.minor);
    const OsVersionClassification c = ClassifyOsVersion(Nt(row.major, row.minor, 2));
    EXPECT_EQ(c.os_class, row.expected);
    EXPECT_EQ(c.service_pack_major, row.records_service_pack ? 2 : -1);
  }
}

TEST(OsVersion, FailedQueryOrOtherPlatformIsPre2000) {
  OsVersionInfo failed = Nt(6, 0);
  failed.query_succeeded = false;
  EXPECT_EQ(ClassifyOsVersion(failed).os_class, kOsPre2000);

  for (std::uint32_t platform : {0u, 1u, 3u}) {
    OsVersionInfo other = Nt(6, 0);
    other.platform_id = platform;
    EXPECT_EQ(ClassifyOsVersion(other).os_class, kOsPre2000) << platform;
    EXPECT_EQ(ClassifyOsVersion(other).service_pack_major, -1);
  }
}

TEST(OsVersion, VistaWithoutServicePackRecordsZero) {
  const OsVersionClassification c = ClassifyOsVersion(Nt(6, 0, 0));
  EXPECT_EQ(c.os_class, kOsVista);
  EXPECT_EQ(c.service_pack_major, 0);
}

}  // namespace
}  // namespace ci
