// Entry of the administrative preferences server. No window: a GUI-subsystem
// program whose exit code is an HRESULT.
#include <windows.h>

#include "ci/base/hresult.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Nothing is served yet: say so with a clear result instead of exiting silently.
  return ci::kE_NOTIMPL;
}
