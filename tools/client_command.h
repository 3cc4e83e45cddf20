// The command line of adminprefs.exe, parsed into what to do. Platform-free:
// arguments arrive as UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ci {

enum class CommandKind { kHelp, kSetPrefs, kSetProxy, kAcceptEula, kShow, kCrashTest };

enum class FieldType { kBool, kPort, kText };

// One message field that the client can set; `name` is the field's name.
struct FieldOption {
  const char* name;
  FieldType type;
  const char* help;
};

// The fields of MachinePreferencesProto and of ProxySettingsProto, in number order.
const std::vector<FieldOption>& PreferenceFields();
const std::vector<FieldOption>& ProxyFields();

struct FieldSetting {
  const FieldOption* field_option;
  bool flag = false;         // kBool
  std::int32_t number = 0;   // kPort
  std::string text;          // kText, UTF-8
};

struct ClientCommand {
  CommandKind kind = CommandKind::kHelp;
  // For kHelp: the command whose help is asked for (kHelp for the overview).
  CommandKind help_topic = CommandKind::kHelp;
  std::vector<FieldSetting> fields;  // in the order given
  bool raw_given = false;            // --raw: send these exact bytes
  std::vector<std::uint8_t> raw;
  bool json = false;                 // show --json
  std::string report_host;           // crash-test --report-host; empty: the built-in one
};

// False with a one-line reason in `error` for a command line that makes no sense.
bool ParseClientCommand(const std::vector<std::string>& args, ClientCommand* command,
                        std::string* error);

// The help text of a command (kHelp: the overview).
std::string UsageText(CommandKind topic);

}  // namespace ci
