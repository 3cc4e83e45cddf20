#include <windows.h>
#include <sddl.h>

#include <vector>

#include "ci/base/win_handles.h"
#include "ci/crash/os_version.h"

namespace ci {
namespace {

// The process-wide cache: class 1 and service pack -1 until a probe says more.
OsVersionClass g_os_class = kOsUnknown;
int g_service_pack_major = -1;

OsVersionInfo QueryOsVersion() {
  OSVERSIONINFOEXW record = {};
  record.dwOSVersionInfoSize = sizeof(record);
  OsVersionInfo info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  info.query_succeeded = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record)) != FALSE;
#pragma GCC diagnostic pop
  info.platform_id = record.dwPlatformId;
  info.major = record.dwMajorVersion;
  info.minor = record.dwMinorVersion;
  info.service_pack_major = record.wServicePackMajor;
  return info;
}

}  // namespace

OsVersionClass GetOsVersionClass(int* service_pack_major) {
  if (g_os_class == kOsUnknown || g_service_pack_major == -1) {
    const OsVersionClassification c = ClassifyOsVersion(QueryOsVersion());
    g_os_class = c.os_class;
    g_service_pack_major = c.service_pack_major;
  }
  if (service_pack_major) *service_pack_major = g_service_pack_major;
  return g_os_class;
}

bool IsVistaClass() { return GetOsVersionClass() >= kOsVista; }

bool QueryProcessIntegritySid(WString* sid) {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_QUERY_SOURCE, token.put())) {
    return false;
  }
  DWORD size = 0;
  if (::GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size) ||
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
    return false;
  }
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size)) {
    return false;
  }
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(label->Label.Sid, &text)) return false;
  UniqueLocalMemory owner(text);
  *sid = FromWin(text);
  return true;
}

bool IsLowIntegrityProcess() {
  if (!IsVistaClass()) return false;
  WString sid;
  return QueryProcessIntegritySid(&sid) && sid == u"S-1-16-4096";
}

}  // namespace ci
