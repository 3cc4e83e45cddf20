#include "ci/prefs/key_paths.h"

#include <cstddef>

namespace ci {
namespace {

struct RootName {
  const char16_t* name;
  RootKeyId id;
};

// Matched in this order; the first match decides.
constexpr RootName kRootNames[] = {
    {u"HKLM", RootKeyId::kLocalMachine}, {u"HKEY_LOCAL_MACHINE", RootKeyId::kLocalMachine},
    {u"HKCU", RootKeyId::kCurrentUser},  {u"HKEY_CURRENT_USER", RootKeyId::kCurrentUser},
    {u"HKU", RootKeyId::kUsers},         {u"HKEY_USERS", RootKeyId::kUsers},
    {u"HKCR", RootKeyId::kClassesRoot},  {u"HKEY_CLASSES_ROOT", RootKeyId::kClassesRoot},
};

WChar AsciiUpper(WChar c) { return (c >= u'a' && c <= u'z') ? static_cast<WChar>(c - 0x20) : c; }

// Root names are ASCII, so ASCII case folding is all the comparison needs; it also
// keeps look-alike and ignorable characters from matching a root.
bool EqualsIgnoringAsciiCase(const WString& text, const char16_t* root) {
  std::size_t i = 0;
  for (; i < text.size() && root[i] != 0; ++i) {
    if (AsciiUpper(text[i]) != root[i]) return false;
  }
  return i == text.size() && root[i] == 0;
}

}  // namespace

RootKeyId MatchRootName(const WString& name) {
  for (const RootName& root : kRootNames) {
    if (EqualsIgnoringAsciiCase(name, root.name)) return root.id;
  }
  return RootKeyId::kUnknown;
}

RootKeyId SplitKeyPath(WString* key_path) {
  const std::size_t slash = key_path->find(u'\\');
  WString root_name;
  if (slash == WString::npos) {
    root_name.swap(*key_path);
  } else {
    root_name = key_path->substr(0, slash);
    key_path->erase(0, slash + 1);
  }
  return MatchRootName(root_name);
}

}  // namespace ci
