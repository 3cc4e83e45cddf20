#include "admin_prefs/module/command_line.h"

#include "ci/base/wide_string.h"

namespace ci {
namespace {

bool IsSwitchChar(WChar c) { return c == u'-' || c == u'/'; }

// True when `token` starts with `keyword` (compared with the platform's upper-case
// mapping) and ends right there: at its end, a space or a tab.
bool TokenIsKeyword(const WChar* token, const char16_t* keyword) {
  std::size_t i = 0;
  while (keyword[i] != 0 && token[i] != 0 && ToUpperChar(token[i]) == ToUpperChar(keyword[i])) ++i;
  if (keyword[i] != 0) return false;
  return token[i] == 0 || token[i] == u' ' || token[i] == u'\t';
}

}  // namespace

ServerCommand ParseServerCommandLine(const WString& command_line) {
  const WChar* p = command_line.c_str();  // ends at the first 0, like the process's own text
  while (true) {
    while (*p != 0 && !IsSwitchChar(*p)) ++p;
    if (*p == 0) return ServerCommand::kRunServer;
    ++p;  // the token starts after the switch character
    if (TokenIsKeyword(p, u"UnregServer")) return ServerCommand::kUnregister;
    if (TokenIsKeyword(p, u"RegServer")) return ServerCommand::kRegister;
  }
}

HResult RunServerCommand(ServerCommand command, const RegistrationSteps& steps) {
  switch (command) {
    case ServerCommand::kRegister:
      VU_RETURN_IF_FAILED(steps.register_app_id());
      return steps.register_server();
    case ServerCommand::kUnregister:
      VU_RETURN_IF_FAILED(steps.unregister_server());
      return steps.unregister_app_id();
    case ServerCommand::kRunServer:
      break;
  }
  return kS_OK;
}

}  // namespace ci
