#include "admin_prefs/registration/registrar.h"

namespace ci {

HResult Registrar::Parse(const WString& text, ParsedScript* script) const {
  WString expanded;
  VU_RETURN_IF_FAILED(ExpandReplacements(text, replacements_, &expanded));
  return ParseScript(expanded, script);
}

HResult Registrar::RunScript(const WString& text, ScriptAction action,
                             ScriptRegistry& registry) const {
  ParsedScript script;
  VU_RETURN_IF_FAILED(Parse(text, &script));
  return action == ScriptAction::kRegister ? RegisterScript(script, registry)
                                           : UnregisterScript(script, registry);
}

}  // namespace ci
