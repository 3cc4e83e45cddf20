#include "ci/crash/integrity_win.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "ci/base/win_handles.h"
#include "ci/crash/os_version.h"

namespace ci {

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
