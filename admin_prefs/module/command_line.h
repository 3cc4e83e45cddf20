// The server's command line: RegServer and UnregServer after "-" or "/".
#pragma once

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

enum class ServerCommand { kRunServer, kRegister, kUnregister };

// Looks at every token that follows a "-" or "/" anywhere in the command line
// (program path included), in order, and answers the first that is "UnregServer"
// or "RegServer" in any letter case and ends there (end of text, space or tab).
// The text ends at its first 0 character. Anything else runs the server.
ServerCommand ParseServerCommandLine(const WString& command_line);

// The four registration steps; each returns an HRESULT.
struct RegistrationSteps {
  HResult (*register_app_id)();
  HResult (*register_server)();
  HResult (*unregister_server)();
  HResult (*unregister_app_id)();
};

// kRegister: the AppID, then (only if that succeeded) the server. kUnregister: the
// server, then (only if that succeeded) the AppID. The result is that of the last
// step run. kRunServer runs no step and gives S_OK.
HResult RunServerCommand(ServerCommand command, const RegistrationSteps& steps);

}  // namespace ci
