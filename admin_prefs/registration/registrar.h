// The registrar: expands a registry script with its replacement pairs, parses it
// and registers or unregisters it.
#pragma once

#include "admin_prefs/registration/registry_script.h"

namespace ci {

enum class ScriptAction { kRegister, kUnregister };

class Registrar {
 public:
  void AddReplacement(WString name, WString value) {
    replacements_.Add(std::move(name), std::move(value));
  }
  const ReplacementMap& replacements() const { return replacements_; }

  // Expands script text with the replacements and parses it.
  HResult Parse(const WString& text, ParsedScript* script) const {
    WString expanded;
    VU_RETURN_IF_FAILED(ExpandReplacements(text, replacements_, &expanded));
    return ParseScript(expanded, script);
  }
  // Runs script text: nothing is written unless the whole script expands and parses.
  HResult RunScript(const WString& text, ScriptAction action, ScriptRegistry& registry) const {
    ParsedScript script;
    VU_RETURN_IF_FAILED(Parse(text, &script));
    return action == ScriptAction::kRegister ? RegisterScript(script, registry)
                                             : UnregisterScript(script, registry);
  }

 private:
  ReplacementMap replacements_;
};

}  // namespace ci
