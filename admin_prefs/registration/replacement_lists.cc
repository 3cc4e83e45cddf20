#include "admin_prefs/registration/replacement_lists.h"

#include "admin_prefs/registration/registration_text.h"

namespace ci {

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
