// What the registration should have written, read from the registry scripts
// themselves: every key and value that registering a parsed script writes, below
// the keys it never removes. adminprefs doctor compares them with the registry.
// Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "admin_prefs/registration/registry_script.h"

namespace ci {

struct ExpectedEntry {
  ScriptRoot root = ScriptRoot::kLocalMachine;
  WString key;            // below the root, the names joined with backslashes
  bool is_value = false;  // false: the key itself
  WString value_name;     // empty: the default value
  ScriptValueType type = ScriptValueType::kString;
  WString data;
};

// In the order the registration writes them: each key, then its values.
std::vector<ExpectedEntry> ExpectedEntries(const ParsedScript& script);

// What the registry holds for one expected entry.
struct ObservedEntry {
  bool key_present = false;
  bool value_present = false;
  std::uint32_t type = 0;  // REG_SZ 1, REG_DWORD 4, ...
  std::vector<std::uint8_t> data;
};

struct CheckedEntry {
  ExpectedEntry expected;
  ObservedEntry observed;
};

// "HKLM\SOFTWARE\Classes\..." and, for a value, its name ("(default)" for the
// default value) after a colon.
std::string EntryName(const ExpectedEntry& entry);

// Empty when the registry holds the entry as expected, else what is wrong in one
// phrase: "... is missing", "... is \"x\", expected \"y\"".
std::string EntryMismatch(const CheckedEntry& entry);

// A REG_SZ or REG_EXPAND_SZ value's text (up to its terminator); empty otherwise.
WString ObservedText(const ObservedEntry& entry);

}  // namespace ci
