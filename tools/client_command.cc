#include "tools/client_command.h"

#include "net/proto/message_type.h"
#include "net/proto/protocol_message.h"
#include "net/proto/wire_codec.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"
#include "tools/hex.h"
#include "tools/schema_text.h"

namespace ci {
namespace {

struct CommandName {
  const char* name;
  CommandKind kind;
};

constexpr CommandName kCommands[] = {
    {"set-prefs", CommandKind::kSetPrefs},     {"set-proxy", CommandKind::kSetProxy},
    {"accept-eula", CommandKind::kAcceptEula}, {"show", CommandKind::kShow},
    {"describe", CommandKind::kDescribe},      {"crash-test", CommandKind::kCrashTest},
    {"doctor", CommandKind::kDoctor},          {"help", CommandKind::kHelp},
};

const char* NameOf(CommandKind kind) {
  for (const CommandName& command : kCommands) {
    if (command.kind == kind) return command.name;
  }
  return "";
}

// Options are the field names with hyphens; the names with underscores work too.
std::string OptionName(const std::string& text) {
  std::string name = text;
  for (char& c : name) {
    if (c == '_') c = '-';
  }
  return name;
}

// "=true|false", "=NUMBER", "=TEXT": what an option's value looks like.
const char* ValueForm(const FieldInfo& field) {
  switch (field.declared_type) {
    case TYPE_BOOL:
      return "=true|false";
    case TYPE_STRING:
      return "=TEXT";
    default:
      return "=NUMBER";
  }
}

// "fixed32, default 80"; required fields are sent even when not given.
std::string FieldSummary(const FieldInfo& field) {
  std::string text = DeclaredTypeWord(field.declared_type);
  if (field.label == LABEL_REQUIRED) text += ", required (always sent)";
  if (field.default_text[0] != '\0') text += std::string(", default ") + field.default_text;
  return text;
}

}  // namespace

const ProtocolMessage* MessageOf(CommandKind kind) {
  switch (kind) {
    case CommandKind::kSetPrefs:
    case CommandKind::kAcceptEula:
      return &MachinePreferencesProto::default_instance();
    case CommandKind::kSetProxy:
      return &ProxySettingsProto::default_instance();
    default:
      return nullptr;
  }
}

bool ParseClientCommand(const std::vector<std::string>& args, ClientCommand* command,
                        std::string* error) {
  *command = ClientCommand();
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "/?") {
    command->kind = CommandKind::kHelp;
    return true;
  }
  bool known = false;
  for (const CommandName& name : kCommands) {
    if (args[0] == name.name) {
      command->kind = name.kind;
      known = true;
    }
  }
  if (!known) {
    *error = "unknown command \"" + args[0] + "\" (try adminprefs --help)";
    return false;
  }
  if (command->kind == CommandKind::kHelp) {
    if (args.size() > 2) {
      *error = "help takes at most one command name";
      return false;
    }
    if (args.size() == 2) {
      bool found = false;
      for (const CommandName& name : kCommands) {
        if (args[1] == name.name) {
          command->help_topic = name.kind;
          found = true;
        }
      }
      if (!found) {
        *error = "no help for unknown command \"" + args[1] + "\"";
        return false;
      }
    }
    return true;
  }

  const CommandKind kind = command->kind;
  const ProtocolMessage* message = MessageOf(kind);
  const std::vector<const FieldInfo*> fields =
      message ? SettableFields(message->GetType()) : std::vector<const FieldInfo*>();
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      command->help_topic = kind;
      command->kind = CommandKind::kHelp;
      command->fields.clear();
      return true;
    }
    if (kind == CommandKind::kDescribe) {
      if (arg.compare(0, 2, "--") == 0 || !command->type_name.empty()) {
        *error = "describe takes at most one message type name, not \"" + arg + "\"";
        return false;
      }
      command->type_name = arg;
      continue;
    }
    if (arg.compare(0, 2, "--") != 0) {
      *error = "unexpected argument \"" + arg + "\" (options start with --)";
      return false;
    }
    std::string name = OptionName(arg.substr(2));
    std::string value;
    bool has_value = false;
    const std::size_t equals = name.find('=');
    if (equals != std::string::npos) {
      value = arg.substr(2 + equals + 1);  // the value keeps its underscores
      name.resize(equals);
      has_value = true;
    }
    // The value of "--name value" is the next argument.
    auto take_value = [&](const char* what) {
      if (has_value) return true;
      if (i + 1 >= args.size()) {
        *error = "--" + name + " needs " + what;
        return false;
      }
      value = args[++i];
      return true;
    };

    if (kind == CommandKind::kShow || kind == CommandKind::kDoctor ||
        kind == CommandKind::kCrashTest) {
      if (name == "json" && !has_value) {
        command->json = true;
        continue;
      }
    }
    if (kind == CommandKind::kShow || kind == CommandKind::kDoctor) {
      *error = std::string(NameOf(kind)) + " takes only --json, not \"" + arg + "\"";
      return false;
    }
    if (kind == CommandKind::kCrashTest) {
      if (name != "report-host") {
        *error = "crash-test takes only --report-host and --json, not \"" + arg + "\"";
        return false;
      }
      if (!take_value("a host name")) return false;
      if (value.empty()) {
        *error = "--report-host needs a host name";
        return false;
      }
      command->report_host = value;
      continue;
    }
    if (name == "raw") {
      if (command->raw_given) {
        *error = "--raw given twice";
        return false;
      }
      if (!take_value("hexadecimal bytes")) return false;
      if (!ParseHex(value, &command->raw)) {
        *error = "--raw takes hexadecimal byte pairs such as \"10 01\", not \"" + value + "\"";
        return false;
      }
      command->raw_given = true;
      continue;
    }
    const FieldInfo* field = nullptr;
    for (const FieldInfo* candidate : fields) {
      if (name == OptionName(candidate->name)) field = candidate;
    }
    if (field == nullptr) {
      *error = std::string("unknown option --") + name + " for " + NameOf(kind) +
               " (try adminprefs " + NameOf(kind) + " --help)";
      return false;
    }
    for (const FieldSetting& earlier : command->fields) {
      if (earlier.field == field) {
        *error = "--" + name + " given twice";
        return false;
      }
    }
    if (!take_value("a value")) return false;
    FieldSetting setting;
    if (!ParseFieldValue(*field, "--" + name, value, &setting, error)) return false;
    command->fields.push_back(std::move(setting));
  }

  if (command->raw_given && !command->fields.empty()) {
    *error = "give either --raw or field options, not both";
    return false;
  }
  // An empty preferences message would not decode on the server side.
  if (kind == CommandKind::kSetPrefs && !command->raw_given && command->fields.empty()) {
    *error = "set-prefs needs at least one preference option (see adminprefs set-prefs --help)";
    return false;
  }
  return true;
}

std::string UsageText(CommandKind topic) {
  // One option per field of the message the command sends.
  auto options = [](CommandKind kind) {
    std::string text;
    for (const FieldInfo* field : SettableFields(MessageOf(kind)->GetType())) {
      std::string line = "  --" + OptionName(field->name) + ValueForm(*field);
      if (line.size() < 52) line.resize(52, ' ');
      text += line + " " + FieldSummary(*field) + "\n";
    }
    return text;
  };
  const std::string raw =
      "  --raw=HEX                                           send these exact message bytes\n"
      "                                                      instead (\"\" sends zero bytes)\n";
  switch (topic) {
    case CommandKind::kSetPrefs:
      return "usage: adminprefs set-prefs OPTION...\n"
             "Saves the machine-wide preferences through the administrative preferences\n"
             "server. Options not given are left out of the message.\n\n" +
             options(CommandKind::kSetPrefs) + raw;
    case CommandKind::kSetProxy:
      return "usage: adminprefs set-proxy [OPTION...]\n"
             "Saves the machine-wide proxy settings through the administrative preferences\n"
             "server.\n\n" +
             options(CommandKind::kSetProxy) + raw;
    case CommandKind::kAcceptEula:
      return "usage: adminprefs accept-eula [OPTION...]\n"
             "Records that the licence agreement was accepted. With preference options (or\n"
             "--raw) the preferences are saved in the same call; without, none are sent.\n\n" +
             options(CommandKind::kAcceptEula) + raw;
    case CommandKind::kShow:
      return "usage: adminprefs show [--json]\n"
             "Prints the values stored under HKLM\\Software\\Velmor\\Velmor Updater: the\n"
             "checksummed messages machine_prefs and ProxySettings (checksum verified, then\n"
             "decoded), SendAnonymousData, userid and the licence markers.\n\n"
             "  --json                                              print one JSON object\n";
    case CommandKind::kDescribe:
      return "usage: adminprefs describe [TYPE]\n"
             "Prints the schema of a message type (by its type name, such as\n"
             "proxysettingsproto, or its class name), or of every registered type, as\n"
             "the class's own self-description gives it.\n";
    case CommandKind::kCrashTest:
      return "usage: adminprefs crash-test [--report-host HOST] [--json]\n"
             "Sees the crash-reporting path work. A child process (this program again)\n"
             "installs the crash observer and faults on purpose with an access violation;\n"
             "with consent (SendAnonymousData) its observer writes a minidump to the\n"
             "temporary directory and, when it is at most 262,144 bytes, sends it to the\n"
             "crash-report server on port 80, which books md_signature, md_time and\n"
             "md_num on acceptance (status 200). Once the child has ended this prints the\n"
             "dump's path and size, whether it was over the limit, whether it was sent,\n"
             "the status, the bookkeeping values before and after, and the outcome.\n\n"
             "  --report-host HOST                                  send to HOST (port 80)\n"
             "                                                      instead of the built-in\n"
             "                                                      crash-report server\n"
             "  --json                                              print one JSON object\n\n"
             "Exit code 0 only when the report was sent and accepted; 1 otherwise (no\n"
             "consent, a dump over the limit, refused, not reachable), the reason on the\n"
             "last line.\n";
    case CommandKind::kDoctor:
      return "usage: adminprefs doctor [--json]\n"
             "Checks the helper's installation on this machine, one line per check (ok,\n"
             "info, warning or problem, and what to do): the class, ProgID, AppID and\n"
             "interface keys; LocalServer32 (quoted, pointing at an existing file); the\n"
             "elevation entry and its icon; the type library (registered, loadable, the\n"
             "interface marshalled by the automation marshaller); the AppID's access\n"
             "permission; the resource module; activation of the server and its release\n"
             "(no operation is called; without elevation this asks for consent); the\n"
             "stored values' checksums; the crash-report consent and dump type; the\n"
             "default proxy configuration.\n\n"
             "  --json                                              print one JSON object\n\n"
             "Exit code 0 when no check found a problem (warnings allowed), 1 otherwise.\n";
    case CommandKind::kHelp:
      break;
  }
  return "usage: adminprefs COMMAND [OPTION...]\n"
         "Client of the administrative preferences server (run it as an administrator).\n\n"
         "  set-prefs    save the machine-wide preferences\n"
         "  set-proxy    save the machine-wide proxy settings\n"
         "  accept-eula  record the licence acceptance, optionally with preferences\n"
         "  show         print the stored values, checksums verified\n"
         "  describe     print the schemas of the message types\n"
         "  doctor       check the installation: registration, files, permission\n"
         "  http         send one request through the updater's HTTP stack\n"
         "  proxy-config print the machine's proxy configuration\n"
         "  crash-test   fault on purpose in a child process and report what came of it\n"
         "  help [COMMAND]\n\n"
         "Every command takes --help. Exit code 0 on success, otherwise 1 when the server\n"
         "reports a failure (doctor: a problem; crash-test: no accepted report), 2 for a\n"
         "bad command line, 3 for stored values that are damaged; http --fail: 22 for a\n"
         "status of 400 or more.\n";
}

}  // namespace ci
