// Entry of the administrative preferences server. No window: a GUI-subsystem
// program whose exit code is an HRESULT.
#include <windows.h>

#include "admin_prefs/command_line.h"
#include "admin_prefs/registration.h"
#include "ci/base/hresult.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const ci::ServerCommand command = ci::ParseServerCommandLine(ci::FromWin(::GetCommandLineW()));
  if (command != ci::ServerCommand::kRunServer) {
    const ci::RegistrationSteps steps = {ci::RegisterAppId, ci::RegisterServer,
                                         ci::UnregisterServer, ci::UnregisterAppId};
    return ci::RunServerCommand(command, steps);
  }
  // Serving clients is not built yet: say so with a clear result instead of exiting
  // silently.
  return ci::kE_NOTIMPL;
}
