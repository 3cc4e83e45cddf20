#include "admin_prefs/registration/registrar.h"

namespace ci {

HResult Registrar::RunScript(const WString& text, ScriptAction action,
                             ScriptRegistry& registry) const {
  WString expanded;
  VU_RETURN_IF_FAILED(ExpandReplacements(text, replacements_, &expanded));
  ParsedScript script;
  VU_RETURN_IF_FAILED(ParseScript(expanded, &script));
  return action == ScriptAction::kRegister ? RegisterScript(script, registry)
                                           : UnregisterScript(script, registry);
}

}  // namespace ci
