// The probes of the running system: the version class it reports, the choices
// made from it, and the process's integrity level.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "ci/crash/locks.h"
#include "ci/crash/os_version.h"

namespace ci {
namespace {

std::wstring UniqueName(const wchar_t* what) {
  return std::wstring(L"Global\\vu_crash_test_") + what + L"_" +
         std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount());
}

// Every system after Vista reports 6.1 or later (Wine reports 6.1). Only 6.0 is
// the Vista class, so such a system takes the older paths: the plain mutex
// creator, and no low-integrity probe before the flush.
TEST(OsVersionProbe, SystemsAfterVistaTakeTheOlderPaths) {
  OSVERSIONINFOEXW record = {};
  record.dwOSVersionInfoSize = sizeof(record);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record)));
#pragma GCC diagnostic pop
  if (record.dwMajorVersion < 6 || (record.dwMajorVersion == 6 && record.dwMinorVersion == 0)) {
    GTEST_SKIP() << "a system of Vista or before";
  }
  int service_pack = 99;
  EXPECT_EQ(GetOsVersionClass(&service_pack), kOsUnknown);
  EXPECT_EQ(service_pack, -1);
  EXPECT_FALSE(IsVistaClass());

  GLock lock(UniqueName(L"choice").c_str());
  EXPECT_TRUE(lock.has_handle());
  EXPECT_EQ(ProcessExtendedCreators().create_mutex_ex, nullptr);
  EXPECT_EQ(ProcessExtendedCreators().create_event_ex, nullptr);
  EXPECT_FALSE(IsLowIntegrityProcess());
}

TEST(Integrity, ProcessLabelIsAMandatoryLevel) {
  WString sid;
  ASSERT_TRUE(QueryProcessIntegritySid(&sid));
  const WString levels[] = {u"S-1-16-0",    u"S-1-16-4096",  u"S-1-16-8192",
                            u"S-1-16-8448", u"S-1-16-12288", u"S-1-16-16384"};
  EXPECT_NE(std::find(std::begin(levels), std::end(levels), sid), std::end(levels))
      << std::string(sid.begin(), sid.end());
}

}  // namespace
}  // namespace ci
