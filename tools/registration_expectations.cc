#include "tools/registration_expectations.h"

#include "ci/base/utf8.h"
#include "tools/registry_text.h"

namespace ci {
namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegDword = 4;

const char* RootName(ScriptRoot root) {
  switch (root) {
    case ScriptRoot::kClassesRoot:
      return "HKCR";
    case ScriptRoot::kCurrentUser:
      return "HKCU";
    case ScriptRoot::kLocalMachine:
      return "HKLM";
    case ScriptRoot::kUsers:
      return "HKU";
  }
  return "";
}

void AddValue(ScriptRoot root, const WString& key, const ScriptValue& value,
              std::vector<ExpectedEntry>* entries) {
  ExpectedEntry entry;
  entry.root = root;
  entry.key = key;
  entry.is_value = true;
  entry.value_name = value.name;
  entry.type = value.type;
  entry.data = value.data;
  entries->push_back(std::move(entry));
}

void AddKey(ScriptRoot root, const WString& parent, const ScriptKey& key,
            std::vector<ExpectedEntry>* entries) {
  const WString path = parent.empty() ? key.name : parent + u"\\" + key.name;
  // Keys that are never removed (SOFTWARE, Classes, CLSID, AppID) belong to
  // everyone; only what lies below them is the registration's own.
  if (key.mode != ScriptKeyMode::kNoRemove) {
    ExpectedEntry entry;
    entry.root = root;
    entry.key = path;
    entries->push_back(std::move(entry));
    if (key.has_default) AddValue(root, path, key.default_value, entries);
    for (const ScriptValue& value : key.values) AddValue(root, path, value, entries);
  }
  for (const ScriptKey& sub_key : key.keys) AddKey(root, path, sub_key, entries);
}

bool ParseNumber(const WString& text, std::uint32_t* number) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t value = 0;
  for (WChar c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - u'0');
  }
  if (value > 0xFFFFFFFFu) return false;
  *number = static_cast<std::uint32_t>(value);
  return true;
}

std::string Quoted(const WString& text) { return "\"" + WideToUtf8(text) + "\""; }

}  // namespace

std::vector<ExpectedEntry> ExpectedEntries(const ParsedScript& script) {
  std::vector<ExpectedEntry> entries;
  for (const ScriptRootBlock& block : script.roots) {
    for (const ScriptKey& key : block.keys) AddKey(block.root, WString(), key, &entries);
  }
  return entries;
}

std::string EntryName(const ExpectedEntry& entry) {
  std::string name = std::string(RootName(entry.root)) + "\\" + WideToUtf8(entry.key);
  if (entry.is_value) {
    name +=
        ": " + (entry.value_name.empty() ? std::string("(default)") : WideToUtf8(entry.value_name));
  }
  return name;
}

WString ObservedText(const ObservedEntry& entry) {
  return entry.type == kRegSz || entry.type == kRegExpandSz ? RegistryText(entry.data) : WString();
}

std::string EntryMismatch(const CheckedEntry& checked) {
  const ExpectedEntry& expected = checked.expected;
  const ObservedEntry& observed = checked.observed;
  const std::string name = EntryName(expected);
  if (!observed.key_present) {
    return (expected.is_value ? "the key of " : "") + name + " is missing";
  }
  if (!expected.is_value) return std::string();
  if (!observed.value_present) return name + " is missing";
  if (expected.type == ScriptValueType::kDword) {
    std::uint32_t wanted = 0;
    const bool known = ParseNumber(expected.data, &wanted);
    if (observed.type != kRegDword || observed.data.size() != 4) {
      return name + " is not a REG_DWORD (type " + std::to_string(observed.type) +
             "), expected REG_DWORD " + WideToUtf8(expected.data);
    }
    const std::uint32_t got = observed.data[0] | (observed.data[1] << 8) |
                              (observed.data[2] << 16) |
                              (static_cast<std::uint32_t>(observed.data[3]) << 24);
    if (!known || got != wanted) {
      return name + " is " + std::to_string(got) + ", expected " + WideToUtf8(expected.data);
    }
    return std::string();
  }
  if (observed.type != kRegSz) {
    return name + " is not a REG_SZ (type " + std::to_string(observed.type) + "), expected " +
           Quoted(expected.data);
  }
  const WString text = ObservedText(observed);
  if (text != expected.data)
    return name + " is " + Quoted(text) + ", expected " + Quoted(expected.data);
  return std::string();
}

}  // namespace ci
