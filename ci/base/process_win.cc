#include "ci/base/process.h"

#include "ci/base/win_result.h"

namespace ci {

HResult RunProgram(const WString& path, PROCESS_INFORMATION* info) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  *info = PROCESS_INFORMATION{};
  if (!::CreateProcessW(AsWin(path), nullptr, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, info)) {
    const HResult hr = HResultFromFailedCall();
    *info = PROCESS_INFORMATION{};
    return hr;
  }
  return kS_OK;
}

}  // namespace ci
