// The command line of adminprefs.exe, parsed into what to do. Platform-free:
// arguments arrive as UTF-8. The field options of a command are the fields of
// the message it sends, as its class's type record lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/field_values.h"

class ProtocolMessage;

namespace ci {

enum class CommandKind {
  kHelp,
  kSetPrefs,
  kSetProxy,
  kAcceptEula,
  kShow,
  kDescribe,
  kCrashTest,
  kDoctor,
};

struct ClientCommand {
  CommandKind kind = CommandKind::kHelp;
  // For kHelp: the command whose help is asked for (kHelp for the overview).
  CommandKind help_topic = CommandKind::kHelp;
  std::vector<FieldSetting> fields;  // in the order given
  bool raw_given = false;            // --raw: send these exact bytes
  std::vector<std::uint8_t> raw;
  bool json = false;        // show, crash-test, doctor: --json
  std::string type_name;    // describe: one type, or empty for all
  std::string report_host;  // crash-test --report-host; empty: the built-in one
};

// The message a command sends, whose fields are its options: set-prefs and
// accept-eula send MachinePreferencesProto, set-proxy ProxySettingsProto. Null
// for the other commands.
const ProtocolMessage* MessageOf(CommandKind kind);

// False with a one-line reason in `error` for a command line that makes no sense.
bool ParseClientCommand(const std::vector<std::string>& args, ClientCommand* command,
                        std::string* error);

// The help text of a command (kHelp: the overview).
std::string UsageText(CommandKind topic);

}  // namespace ci
