// HRESULTs from the Win32 last-error value.
#pragma once

#include <windows.h>

#include "ci/base/hresult.h"

namespace ci {

// HResultFromWin32 of the calling thread's last-error value.
inline HResult HResultFromLastError() {
  return HResultFromWin32(static_cast<std::int32_t>(::GetLastError()));
}

}  // namespace ci
