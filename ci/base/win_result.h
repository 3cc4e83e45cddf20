// HRESULTs from the Win32 last-error value.
#pragma once

#include <windows.h>

#include "ci/base/hresult.h"

namespace ci {

// HResultFromWin32 of the calling thread's last-error value.
inline HResult HResultFromLastError() {
  return HResultFromWin32(static_cast<std::int32_t>(::GetLastError()));
}

// Like HResultFromLastError, for a call that reported failure: a last-error value
// of 0 still gives a failure (E_FAIL).
inline HResult HResultFromFailedCall() {
  const HResult hr = HResultFromLastError();
  return Failed(hr) ? hr : kE_FAIL;
}

}  // namespace ci
