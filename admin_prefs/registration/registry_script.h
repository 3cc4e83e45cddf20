// The registry-script language: %name% replacement, tokens and syntax, the
// parsed tree, and the registration and unregistration walks over a registry.
//
// A script is expanded first (every %name% replaced by its value, %% by one
// percent sign) and then parsed:
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
#include <cstdint>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// --- Replacements ---

// Names of 32 characters or more are refused.
constexpr std::size_t kMaxReplacementNameLength = 31;
// An expanded script larger than this is refused as out of memory: the product's
// scripts are a few kilobytes, so only a runaway expansion reaches it.
constexpr std::size_t kMaxExpandedScriptLength = std::size_t{1} << 22;

// (name, value) pairs; names are compared without regard to case and the first
// pair of a name wins.
class ReplacementMap {
 public:
  void Add(WString name, WString value);
  // The value of `name`, or null when the map has no such name.
  const WString* Find(const WChar* name, std::size_t length) const;
  std::size_t size() const { return pairs_.size(); }

 private:
  struct Pair {
    WString name;
    WString value;
  };
  std::vector<Pair> pairs_;
};

// Replaces every %name% of `text` by its value and every %% by one percent sign.
// DISP_E_EXCEPTION: a % without its closing %, or a name the map lacks.
// E_FAIL: a name of 32 characters or more. E_OUTOFMEMORY: the result would exceed
// `max_length` characters or cannot be allocated.
HResult ExpandReplacements(const WString& text, const ReplacementMap& map, WString* expanded,
                           std::size_t max_length = kMaxExpandedScriptLength);

// --- Tokens and syntax ---

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

// --- The walks ---

// What the walks need of a registry. Keys are named by their root and their path
// below it (names joined with backslashes). Failures are HRESULTs made from the
// platform's errors.
class ScriptRegistry {
 public:
  virtual ~ScriptRegistry() = default;
  // Opens the key, creating it and any missing key above it.
  virtual HResult CreateKey(ScriptRoot root, const WString& path) = 0;
  // Succeeds when the key exists and can be opened for changes.
  virtual HResult OpenKey(ScriptRoot root, const WString& path) = 0;
  // Deletes the key with its whole subtree; a missing key is success.
  virtual HResult DeleteKeyTree(ScriptRoot root, const WString& path) = 0;
  // Deletes a key that has no sub-keys, with its values.
  virtual HResult DeleteKey(ScriptRoot root, const WString& path) = 0;
  virtual HResult CountSubKeys(ScriptRoot root, const WString& path, std::uint32_t* count) = 0;
  // Writes one value of an existing key (an empty name is the default value).
  virtual HResult SetValue(ScriptRoot root, const WString& path, const ScriptValue& value) = 0;
  // Deletes one named value; a missing value is success.
  virtual HResult DeleteValue(ScriptRoot root, const WString& path, const WString& name) = 0;
};

// Registration: every key is opened or created (a ForceRemove key is deleted with
// its subtree first) and its values are written. A root block that fails is
// unregistered again and its first failure returned; blocks before it stay.
HResult RegisterScript(const ParsedScript& script, ScriptRegistry& registry);

// Unregistration: every listed value is deleted, a key that cannot be opened is
// skipped with its block, and after its block a key that is not NoRemove is
// deleted when no sub-key remains. Stops at the first failure.
HResult UnregisterScript(const ParsedScript& script, ScriptRegistry& registry);

}  // namespace ci
