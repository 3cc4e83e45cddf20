// HRESULTs from the Win32 last-error value.
#include <windows.h>

#include "ci/base/hresult.h"

namespace ci {

HResult HResultFromLastError() {
  return HResultFromWin32(static_cast<std::int32_t>(::GetLastError()));
}

HResult HResultFromFailedCall() {
  const HResult hr = HResultFromLastError();
  return Failed(hr) ? hr : kE_FAIL;
}

}  // namespace ci
