#include "tools/client_command.h"

#include <cstdlib>

#include "tools/hex.h"

namespace ci {
namespace {

struct CommandName {
  const char* name;
  CommandKind kind;
};

constexpr CommandName kCommands[] = {
    {"set-prefs", CommandKind::kSetPrefs},
    {"set-proxy", CommandKind::kSetProxy},
    {"accept-eula", CommandKind::kAcceptEula},
    {"show", CommandKind::kShow},
    {"crash-test", CommandKind::kCrashTest},
    {"help", CommandKind::kHelp},
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

const std::vector<FieldOption>* FieldsOf(CommandKind kind) {
  switch (kind) {
    case CommandKind::kSetPrefs:
    case CommandKind::kAcceptEula:
      return &PreferenceFields();
    case CommandKind::kSetProxy:
      return &ProxyFields();
    default:
      return nullptr;
  }
}

bool ParseBool(const std::string& text, bool* value) {
  static const char* const kTrue[] = {"true", "1", "yes", "on"};
  static const char* const kFalse[] = {"false", "0", "no", "off"};
  for (const char* word : kTrue) {
    if (text == word) {
      *value = true;
      return true;
    }
  }
  for (const char* word : kFalse) {
    if (text == word) {
      *value = false;
      return true;
    }
  }
  return false;
}

bool ParsePort(const std::string& text, std::int32_t* value) {
  if (text.empty() || text.size() > 5) return false;
  std::int32_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number > 65535) return false;
  *value = number;
  return true;
}

bool SetField(const FieldOption& field_option, const std::string& value, FieldSetting* setting,
              std::string* error) {
  setting->field_option = &field_option;
  const std::string option = "--" + OptionName(field_option.name);
  switch (field_option.type) {
    case FieldType::kBool:
      if (ParseBool(value, &setting->flag)) return true;
      *error = option + " takes true or false, not \"" + value + "\"";
      return false;
    case FieldType::kPort:
      if (ParsePort(value, &setting->number)) return true;
      *error = option + " takes a port number from 0 to 65535, not \"" + value + "\"";
      return false;
    case FieldType::kText:
      setting->text = value;
      return true;
  }
  return false;
}

}  // namespace

const std::vector<FieldOption>& PreferenceFields() {
  static const std::vector<FieldOption> fields = {
      {"notify_software_updates", FieldType::kBool, "notify about software updates"},
      {"send_stats", FieldType::kBool, "send anonymous usage statistics and crash reports"},
      {"express_updates_enabled", FieldType::kBool, "express updates enabled"},
      {"third_party_updates_enabled", FieldType::kBool, "third-party updates enabled"},
      {"user_changed_third_party_updates_enabled", FieldType::kBool,
       "the user changed the third-party updates setting"},
  };
  return fields;
}

const std::vector<FieldOption>& ProxyFields() {
  static const std::vector<FieldOption> fields = {
      {"auto_detect", FieldType::kBool, "detect the proxy automatically (always sent; default false)"},
      {"http_host", FieldType::kText, "proxy host for HTTP"},
      {"http_port", FieldType::kPort, "proxy port for HTTP"},
      {"ssl_host", FieldType::kText, "proxy host for HTTPS"},
      {"ssl_port", FieldType::kPort, "proxy port for HTTPS"},
      {"proxy_for_all", FieldType::kBool, "use the HTTP proxy for every protocol"},
  };
  return fields;
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
  const std::vector<FieldOption>* fields = FieldsOf(kind);
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      command->help_topic = kind;
      command->kind = CommandKind::kHelp;
      command->fields.clear();
      return true;
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

    if (kind == CommandKind::kShow) {
      if (name == "json" && !has_value) {
        command->json = true;
        continue;
      }
      *error = "show takes only --json, not \"" + arg + "\"";
      return false;
    }
    if (kind == CommandKind::kCrashTest) {
      if (name != "report-host") {
        *error = "crash-test takes only --report-host, not \"" + arg + "\"";
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
    const FieldOption* field_option = nullptr;
    for (const FieldOption& field : *fields) {
      if (name == OptionName(field.name)) field_option = &field;
    }
    if (field_option == nullptr) {
      *error = std::string("unknown option --") + name + " for " + NameOf(kind) +
               " (try adminprefs " + NameOf(kind) + " --help)";
      return false;
    }
    for (const FieldSetting& earlier : command->fields) {
      if (earlier.field_option == field_option) {
        *error = "--" + name + " given twice";
        return false;
      }
    }
    if (!take_value("a value")) return false;
    FieldSetting setting;
    if (!SetField(*field_option, value, &setting, error)) return false;
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
  auto options = [](const std::vector<FieldOption>& fields) {
    std::string text;
    for (const FieldOption& field : fields) {
      std::string line = "  --" + OptionName(field.name);
      line += field.type == FieldType::kBool ? "=true|false"
              : field.type == FieldType::kPort ? "=PORT"
                                               : "=HOST";
      if (line.size() < 52) line.resize(52, ' ');
      text += line + " " + field.help + "\n";
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
             options(PreferenceFields()) + raw;
    case CommandKind::kSetProxy:
      return "usage: adminprefs set-proxy [OPTION...]\n"
             "Saves the machine-wide proxy settings through the administrative preferences\n"
             "server.\n\n" +
             options(ProxyFields()) + raw;
    case CommandKind::kAcceptEula:
      return "usage: adminprefs accept-eula [OPTION...]\n"
             "Records that the licence agreement was accepted. With preference options (or\n"
             "--raw) the preferences are saved in the same call; without, none are sent.\n\n" +
             options(PreferenceFields()) + raw;
    case CommandKind::kShow:
      return "usage: adminprefs show [--json]\n"
             "Prints the values stored under HKLM\\Software\\Velmor\\Velmor Updater: the\n"
             "checksummed messages machine_prefs and ProxySettings (checksum verified, then\n"
             "decoded), SendAnonymousData, userid and the licence markers.\n\n"
             "  --json                                              print one JSON object\n";
    case CommandKind::kCrashTest:
      return "usage: adminprefs crash-test [--report-host HOST]\n"
             "Installs the crash observer in this process and faults on purpose with an\n"
             "access violation, to see the crash-reporting path work: with consent\n"
             "(SendAnonymousData) set, a minidump is written to the temporary directory and\n"
             "sent to the crash-report server, and md_signature, md_time and md_num are\n"
             "updated. The process ends with the access violation's code (0xC0000005).\n\n"
             "  --report-host HOST                                  send to HOST (port 80)\n"
             "                                                      instead of the built-in\n"
             "                                                      crash-report server\n";
    case CommandKind::kHelp:
      break;
  }
  return "usage: adminprefs COMMAND [OPTION...]\n"
         "Client of the administrative preferences server (run it as an administrator).\n\n"
         "  set-prefs    save the machine-wide preferences\n"
         "  set-proxy    save the machine-wide proxy settings\n"
         "  accept-eula  record the licence acceptance, optionally with preferences\n"
         "  show         print the stored values, checksums verified\n"
         "  http         send one request through the updater's HTTP stack\n"
         "  proxy-config print the machine's proxy configuration\n"
         "  crash-test   fault on purpose and report it as the server would\n"
         "  help [COMMAND]\n\n"
         "Every command takes --help. Exit code 0 on success, otherwise 1 when the server\n"
         "reports a failure, 2 for a bad command line, 3 for stored values that are\n"
         "damaged.\n";
}

}  // namespace ci
