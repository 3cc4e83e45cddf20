// Command lines as tables: each option is one row with its parser and its help,
// so that parsing and the usage text come from the same place. Platform-free;
// arguments arrive as UTF-8.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tools/secret_text.h"

namespace ci {

template <typename Command>
struct OptionRow {
  const char* name;        // "--proxy", "-i"
  const char* value_form;  // "HOST:PORT"; null for an option that takes no value
  // Stores the value (empty for an option without one); false with a one-line
  // reason in `error`. `name` is the row's name, for the reason.
  std::function<bool(const std::string& name, const std::string& value, Command* command,
                     std::string* error)>
      apply;
  const char* help;
};

template <typename Command>
using OptionTable = std::vector<OptionRow<Command>>;

// Row parsers for the common kinds of option.
template <typename Command>
auto SetFlag(bool Command::*member) {
  return [member](const std::string&, const std::string&, Command* command, std::string*) {
    command->*member = true;
    return true;
  };
}

template <typename Command>
auto SetText(std::string Command::*member) {
  return [member](const std::string& name, const std::string& value, Command* command,
                  std::string* error) {
    if (value.empty()) {
      *error = name + " needs a value";
      return false;
    }
    command->*member = value;
    return true;
  };
}

// A decimal number from `low` to `high`, stored in an integer member of any width.
bool ParseNumberInRange(const std::string& text, long long low, long long high, long long* value);

template <typename Command, typename Integer>
auto SetNumber(Integer Command::*member, long long low, long long high) {
  return [member, low, high](const std::string& name, const std::string& value, Command* command,
                             std::string* error) {
    long long parsed = 0;
    if (!ParseNumberInRange(value, low, high, &parsed)) {
      *error = name + " takes a number from " + std::to_string(low) + " to " + std::to_string(high);
      return false;
    }
    command->*member = static_cast<Integer>(parsed);
    return true;
  };
}

// Seconds as a decimal with up to three places ("2", "0.5"), from 0 to
// `max_seconds`, in milliseconds.
bool ParseSecondsAsMs(const std::string& text, std::uint32_t max_seconds, std::uint32_t* ms);

template <typename Command>
auto SetSeconds(std::uint32_t Command::*member_ms, std::uint32_t max_seconds) {
  return [member_ms, max_seconds](const std::string& name, const std::string& value,
                                  Command* command, std::string* error) {
    std::uint32_t ms = 0;
    if (!ParseSecondsAsMs(value, max_seconds, &ms)) {
      *error = name + " takes seconds from 0 to " + std::to_string(max_seconds) +
               ", with up to three decimals";
      return false;
    }
    command->*member_ms = ms;
    return true;
  };
}

// Parses `args` against `table`: "--name=value" or "--name value" for options
// with a value, the bare name otherwise; "--help" or "-h" sets `help` and stops.
// Arguments that are not options are appended to `operands`.
template <typename Command>
bool ParseOptions(const std::vector<std::string>& args, const OptionTable<Command>& table,
                  Command* command, std::vector<std::string>* operands, std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      command->help = true;
      return true;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      operands->push_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionRow<Command>* row = nullptr;
    for (const OptionRow<Command>& candidate : table) {
      if (name == candidate.name) row = &candidate;
    }
    if (row == nullptr) {
      *error = "unknown option " + name;
      return false;
    }
    std::string value;
    if (row->value_form == nullptr) {
      if (equals != std::string::npos) {
        *error = name + " takes no value";
        return false;
      }
    } else if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      *error = name + " needs a value";
      return false;
    }
    const bool applied = row->apply(name, value, command, error);
    WipeText(&value);  // it may have been a password
    if (!applied) return false;
  }
  return true;
}

// One line per row: "  --name=FORM" padded to a column, then the help.
template <typename Command>
std::string OptionHelpLines(const OptionTable<Command>& table) {
  std::string text;
  for (const OptionRow<Command>& row : table) {
    std::string line = std::string("  ") + row.name;
    if (row.value_form != nullptr) line += std::string("=") + row.value_form;
    line.resize(line.size() < 29 ? 29 : line.size() + 1, ' ');
    text += line + row.help + "\n";
  }
  return text;
}

}  // namespace ci
