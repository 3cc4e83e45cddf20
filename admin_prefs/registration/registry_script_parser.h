// Tokens and syntax of an (already expanded) registry script:
//
//   HKLM {                                  root name and its block
//     NoRemove SOFTWARE {                   kept at unregistration
//       ForceRemove 'Key name' = s 'text' { rebuilt at registration; default value
//         val Name = s 'text'               named REG_SZ value
//         val Count = d '1'                 named REG_DWORD value
//       }
//     }
//   }
//
// Tokens are separated by spaces, tabs, carriage returns and line feeds. A token
// that starts with a single quote runs to the next single quote that is not
// doubled; a doubled quote inside stands for one. Keywords are compared without
// regard to case and are keywords only when unquoted.
#pragma once

#include <cstddef>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// A token fills a buffer of 4096 characters with its terminator.
constexpr std::size_t kMaxScriptTokenLength = 4095;
// Blocks nest at most this deep (the root block counts as one).
constexpr int kMaxScriptDepth = 64;

struct ScriptToken {
  WString text;
  bool quoted = false;
};

// Splits `text` into tokens. DISP_E_EXCEPTION for a quoted token without its
// closing quote or a token longer than kMaxScriptTokenLength.
HResult TokenizeScript(const WString& text, std::vector<ScriptToken>* tokens);

enum class ScriptRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers };

enum class ScriptValueType { kString, kDword };

struct ScriptValue {
  WString name;  // empty: the key's default value
  ScriptValueType type = ScriptValueType::kString;
  WString data;  // for kDword the number's text, converted when it is written
};

enum class ScriptKeyMode { kNormal, kNoRemove, kForceRemove };

struct ScriptKey {
  WString name;
  ScriptKeyMode mode = ScriptKeyMode::kNormal;
  bool has_default = false;
  ScriptValue default_value;
  std::vector<ScriptValue> values;
  std::vector<ScriptKey> keys;
};

struct ScriptRootBlock {
  ScriptRoot root = ScriptRoot::kLocalMachine;
  std::vector<ScriptKey> keys;
};

struct ParsedScript {
  std::vector<ScriptRootBlock> roots;
};

// Parses an expanded script. DISP_E_EXCEPTION for: an unknown root name, a root
// without a following block, a key name with a backslash or that is a brace or
// "=", a `val` without "=", a value type other than s or d, text ending where a
// token is expected (including a missing closing brace), blocks nested deeper
// than kMaxScriptDepth, and every tokenizer failure.
HResult ParseScript(const WString& text, ParsedScript* script);

}  // namespace ci
