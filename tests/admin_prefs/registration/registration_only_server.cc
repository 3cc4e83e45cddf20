// The server's registration without its type library resource: the test of the
// ".tlb" file beside the executable runs this in the server's place.
#include <windows.h>

#include "admin_prefs/module/command_line.h"
#include "admin_prefs/registration/registration.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const ci::ServerCommand command = ci::ParseServerCommandLine(ci::FromWin(::GetCommandLineW()));
  if (command == ci::ServerCommand::kRunServer) return ci::kE_NOTIMPL;
  const ci::RegistrationSteps steps = {ci::RegisterAppId, ci::RegisterServer, ci::UnregisterServer,
                                       ci::UnregisterAppId};
  return ci::RunServerCommand(command, steps);
}
