#include "admin_prefs/registration/registration_text.h"

namespace ci {

WString EscapeScriptQuotes(const WString& text) {
  WString out;
  out.reserve(text.size());
  for (WChar c : text) {
    out.push_back(c);
    if (c == u'\'') out.push_back(u'\'');
  }
  return out;
}

WString ModuleReplacement(const WString& module_path) {
  return u'"' + EscapeScriptQuotes(module_path) + u'"';
}

WString ModuleRawReplacement(const WString& module_path) { return EscapeScriptQuotes(module_path); }

HResult TypeLibraryFilePath(const WString& path, WString* tlb_path) {
  const std::size_t slash = path.rfind(u'\\');
  const std::size_t dot = path.rfind(u'.');
  const bool has_extension = dot != WString::npos && (slash == WString::npos || dot > slash);
  WString result = has_extension ? path.substr(0, dot) : path;
  result += u".tlb";
  if (result.size() > kMaxModulePathLength) return kE_FAIL;
  *tlb_path = std::move(result);
  return kS_OK;
}

WString HelpDirectoryOf(const WString& help_file) {
  const std::size_t cut = help_file.find_last_of(u"\\/:");
  return cut == WString::npos ? WString() : help_file.substr(0, cut + 1);
}

}  // namespace ci
