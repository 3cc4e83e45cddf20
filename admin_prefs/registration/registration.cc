#include "admin_prefs/registration/registration.h"

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

const ReplacementList& AppIdReplacements() {
  static const ReplacementList list = {
      {u"APPID", kAdminPrefsAppId},
      {u"DESCRIPTION", u"Velmor Updater Administrative Preferences Manager"},
      {u"FILENAME", kServerFileName},
  };
  return list;
}

ReplacementList ClassReplacements(const WString& resource_module_path) {
  return {
      {u"PROGID", kAdminPrefsProgId},
      {u"VERSION", u"1"},
      {u"DESCRIPTION", u"AdminPrefsManagerCtl Class"},
      {u"CLSID", kAdminPrefsClsid},
      {u"LIBID", kAdminPrefsLibId},
      // Quotes doubled like Module's: the script quotes the value, and a folder
      // name with a single quote must neither end the token early nor fail.
      {u"RESOURCE_DLL_MODULE", EscapeScriptQuotes(resource_module_path)},
      {u"STRINGRESID", u"" VU_RESOURCE_ID_TEXT(VU_IDS_CLASS_NAME)},
      {u"ICONRESID", u"" VU_RESOURCE_ID_TEXT(VU_IDI_ELEVATION)},
  };
}

Registrar ScriptRegistrar(const ReplacementList& map, const WString& module_path) {
  Registrar registrar;
  for (const ReplacementPair& pair : map) registrar.AddReplacement(pair.name, pair.value);
  registrar.AddReplacement(u"APPID", kAdminPrefsAppId);  // the module's common pair
  registrar.AddReplacement(u"Module", ModuleReplacement(module_path));
  registrar.AddReplacement(u"Module_Raw", ModuleRawReplacement(module_path));
  return registrar;
}

}  // namespace ci
