#include "admin_prefs/service/first_run_path.h"

namespace ci {
namespace {

constexpr char16_t kFirstRunProgram[] = u"vufirstboot.exe";

bool IsSeparator(WChar c) { return c == u'\\' || c == u'/'; }

bool IsDriveLetter(WChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

bool IsAbsoluteWindowsPath(const WString& path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2])) {
    return true;
  }
  // A UNC path needs a name after its two separators.
  return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

bool IsSingleFolderName(const WString& name) {
  // Only dots ("." and "..", and longer runs that path normalisation may shorten)
  // name this folder or one above it.
  if (name.find_first_not_of(u'.') == WString::npos) return false;
  for (WChar c : name) {
    if (IsSeparator(c) || c == u':') return false;
  }
  return true;
}

bool MakeFirstRunProgramPath(const WString& install_dir, const WString& version, WString* path) {
  if (!IsAbsoluteWindowsPath(install_dir) || !IsSingleFolderName(version)) return false;
  *path = install_dir + u"\\" + version + u"\\" + kFirstRunProgram;
  return true;
}

}  // namespace ci
