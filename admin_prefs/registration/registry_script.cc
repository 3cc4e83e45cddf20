#include "admin_prefs/registration/registry_script.h"

#include <new>
#include <stdexcept>

#include "ci/base/wide_string.h"

namespace ci {

// --- Replacements ---

void ReplacementMap::Add(WString name, WString value) {
  pairs_.push_back(Pair{std::move(name), std::move(value)});
}

const WString* ReplacementMap::Find(const WChar* name, std::size_t length) const {
  for (const Pair& pair : pairs_) {
    if (pair.name.size() != length) continue;
    std::size_t i = 0;
    while (i < length && ToUpperChar(pair.name[i]) == ToUpperChar(name[i])) ++i;
    if (i == length) return &pair.value;
  }
  return nullptr;
}

namespace {

HResult Expand(const WString& text, const ReplacementMap& map, WString* out,
               std::size_t max_length) {
  out->clear();
  out->reserve(text.size() < max_length ? text.size() : max_length);
  const auto append = [&](const WChar* chars, std::size_t count) {
    if (count > max_length - out->size()) return false;
    out->append(chars, count);
    return true;
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t percent = text.find(u'%', pos);
    const std::size_t literal_end = percent == WString::npos ? text.size() : percent;
    if (!append(text.data() + pos, literal_end - pos)) return kE_OUTOFMEMORY;
    if (percent == WString::npos) break;

    if (percent + 1 < text.size() && text[percent + 1] == u'%') {
      if (!append(u"%", 1)) return kE_OUTOFMEMORY;
      pos = percent + 2;
      continue;
    }
    const std::size_t close = text.find(u'%', percent + 1);
    if (close == WString::npos) return kDISP_E_EXCEPTION;
    const std::size_t name_length = close - percent - 1;
    if (name_length > kMaxReplacementNameLength) return kE_FAIL;
    const WString* value = map.Find(text.data() + percent + 1, name_length);
    if (value == nullptr) return kDISP_E_EXCEPTION;
    if (!append(value->data(), value->size())) return kE_OUTOFMEMORY;
    pos = close + 1;
  }
  return kS_OK;
}

}  // namespace

HResult ExpandReplacements(const WString& text, const ReplacementMap& map, WString* expanded,
                           std::size_t max_length) {
  try {
    WString out;
    const HResult hr = Expand(text, map, &out, max_length);
    if (Succeeded(hr)) expanded->swap(out);
    return hr;
  } catch (const std::bad_alloc&) {
    return kE_OUTOFMEMORY;
  } catch (const std::length_error&) {
    return kE_OUTOFMEMORY;
  }
}

// --- Tokens and syntax ---

namespace {

bool IsScriptSpace(WChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool EqualsIgnoreCase(const WString& a, const char16_t* b) {
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    if (b[i] == 0 || ToUpperChar(a[i]) != ToUpperChar(b[i])) return false;
  }
  return b[i] == 0;
}

class Parser {
 public:
  explicit Parser(const std::vector<ScriptToken>& tokens) : tokens_(tokens) {}

  HResult ParseRoots(ParsedScript* script) {
    while (pos_ < tokens_.size()) {
      ScriptRootBlock block;
      VU_RETURN_IF_FAILED(ParseRoot(&block));
      script->roots.push_back(std::move(block));
    }
    return kS_OK;
  }

 private:
  bool AtEnd() const { return pos_ >= tokens_.size(); }
  const ScriptToken& Peek() const { return tokens_[pos_]; }
  bool PeekIs(const char16_t* keyword) const {
    return !AtEnd() && !Peek().quoted && EqualsIgnoreCase(Peek().text, keyword);
  }
  // Takes the next token; DISP_E_EXCEPTION when the text has ended.
  HResult Next(const ScriptToken** token) {
    if (AtEnd()) return kDISP_E_EXCEPTION;
    *token = &tokens_[pos_++];
    return kS_OK;
  }
  HResult Expect(const char16_t* keyword) {
    if (!PeekIs(keyword)) return kDISP_E_EXCEPTION;
    ++pos_;
    return kS_OK;
  }

  HResult ParseRoot(ScriptRootBlock* block) {
    const ScriptToken* name = nullptr;
    VU_RETURN_IF_FAILED(Next(&name));
    if (name->quoted || !RootFromName(name->text, &block->root)) return kDISP_E_EXCEPTION;
    VU_RETURN_IF_FAILED(Expect(u"{"));
    while (!PeekIs(u"}")) {
      VU_RETURN_IF(AtEnd(), kDISP_E_EXCEPTION);
      ScriptKey key;
      VU_RETURN_IF_FAILED(ParseKey(1, &key));
      block->keys.push_back(std::move(key));
    }
    ++pos_;  // the closing brace
    return kS_OK;
  }

  static bool RootFromName(const WString& name, ScriptRoot* root) {
    static const struct {
      const char16_t* name;
      ScriptRoot root;
    } kRoots[] = {
        {u"HKCR", ScriptRoot::kClassesRoot},  {u"HKEY_CLASSES_ROOT", ScriptRoot::kClassesRoot},
        {u"HKCU", ScriptRoot::kCurrentUser},  {u"HKEY_CURRENT_USER", ScriptRoot::kCurrentUser},
        {u"HKLM", ScriptRoot::kLocalMachine}, {u"HKEY_LOCAL_MACHINE", ScriptRoot::kLocalMachine},
        {u"HKU", ScriptRoot::kUsers},         {u"HKEY_USERS", ScriptRoot::kUsers},
    };
    for (const auto& entry : kRoots) {
      if (EqualsIgnoreCase(name, entry.name)) {
        *root = entry.root;
        return true;
      }
    }
    return false;
  }

  // A key, its optional default value and its optional block; `depth` is the depth
  // of the block that holds it.
  HResult ParseKey(int depth, ScriptKey* key) {
    if (PeekIs(u"NoRemove")) {
      key->mode = ScriptKeyMode::kNoRemove;
      ++pos_;
    } else if (PeekIs(u"ForceRemove")) {
      key->mode = ScriptKeyMode::kForceRemove;
      ++pos_;
    }
    const ScriptToken* name = nullptr;
    VU_RETURN_IF_FAILED(Next(&name));
    if (!name->quoted &&
        (EqualsIgnoreCase(name->text, u"{") || EqualsIgnoreCase(name->text, u"}") ||
         EqualsIgnoreCase(name->text, u"=") || EqualsIgnoreCase(name->text, u"val"))) {
      return kDISP_E_EXCEPTION;
    }
    if (name->text.empty() || name->text.find(u'\\') != WString::npos) return kDISP_E_EXCEPTION;
    key->name = name->text;

    if (PeekIs(u"=")) {
      ++pos_;
      key->has_default = true;
      VU_RETURN_IF_FAILED(ParseTypedData(&key->default_value));
    }
    if (!PeekIs(u"{")) return kS_OK;
    ++pos_;
    VU_RETURN_IF(depth + 1 > kMaxScriptDepth, kDISP_E_EXCEPTION);
    while (!PeekIs(u"}")) {
      VU_RETURN_IF(AtEnd(), kDISP_E_EXCEPTION);
      if (PeekIs(u"val")) {
        ++pos_;
        ScriptValue value;
        VU_RETURN_IF_FAILED(ParseNamedValue(&value));
        key->values.push_back(std::move(value));
      } else {
        ScriptKey sub_key;
        VU_RETURN_IF_FAILED(ParseKey(depth + 1, &sub_key));
        key->keys.push_back(std::move(sub_key));
      }
    }
    ++pos_;  // the closing brace
    return kS_OK;
  }

  // `name = type 'data'` after the keyword val.
  HResult ParseNamedValue(ScriptValue* value) {
    const ScriptToken* name = nullptr;
    VU_RETURN_IF_FAILED(Next(&name));
    value->name = name->text;
    VU_RETURN_IF_FAILED(Expect(u"="));
    return ParseTypedData(value);
  }

  // `type 'data'` after "=".
  HResult ParseTypedData(ScriptValue* value) {
    if (PeekIs(u"s")) {
      value->type = ScriptValueType::kString;
    } else if (PeekIs(u"d")) {
      value->type = ScriptValueType::kDword;
    } else {
      return kDISP_E_EXCEPTION;
    }
    ++pos_;
    const ScriptToken* data = nullptr;
    VU_RETURN_IF_FAILED(Next(&data));
    value->data = data->text;
    return kS_OK;
  }

  const std::vector<ScriptToken>& tokens_;
  std::size_t pos_ = 0;
};

}  // namespace

HResult TokenizeScript(const WString& text, std::vector<ScriptToken>* tokens) {
  tokens->clear();
  std::size_t pos = 0;
  const std::size_t size = text.size();
  while (true) {
    while (pos < size && IsScriptSpace(text[pos])) ++pos;
    if (pos == size) return kS_OK;

    ScriptToken token;
    if (text[pos] == u'\'') {
      token.quoted = true;
      ++pos;
      while (true) {
        if (pos == size) return kDISP_E_EXCEPTION;  // no closing quote
        if (text[pos] == u'\'') {
          if (pos + 1 < size && text[pos + 1] == u'\'') {
            token.text.push_back(u'\'');
            pos += 2;
          } else {
            ++pos;
            break;
          }
        } else {
          token.text.push_back(text[pos++]);
        }
        if (token.text.size() > kMaxScriptTokenLength) return kDISP_E_EXCEPTION;
      }
    } else {
      const std::size_t start = pos;
      while (pos < size && !IsScriptSpace(text[pos])) ++pos;
      if (pos - start > kMaxScriptTokenLength) return kDISP_E_EXCEPTION;
      token.text.assign(text, start, pos - start);
    }
    tokens->push_back(std::move(token));
  }
}

HResult ParseScript(const WString& text, ParsedScript* script) {
  std::vector<ScriptToken> tokens;
  VU_RETURN_IF_FAILED(TokenizeScript(text, &tokens));
  ParsedScript parsed;
  Parser parser(tokens);
  VU_RETURN_IF_FAILED(parser.ParseRoots(&parsed));
  *script = std::move(parsed);
  return kS_OK;
}

// --- The walks ---

namespace {

WString JoinKeyPath(const WString& parent, const WString& name) {
  return parent.empty() ? name : parent + u'\\' + name;
}

HResult RegisterKey(ScriptRoot root, const WString& parent, const ScriptKey& key,
                    ScriptRegistry& registry) {
  const WString path = JoinKeyPath(parent, key.name);
  if (key.mode == ScriptKeyMode::kForceRemove) {
    VU_RETURN_IF_FAILED(registry.DeleteKeyTree(root, path));
  }
  VU_RETURN_IF_FAILED(registry.CreateKey(root, path));
  if (key.has_default) VU_RETURN_IF_FAILED(registry.SetValue(root, path, key.default_value));
  for (const ScriptValue& value : key.values) {
    VU_RETURN_IF_FAILED(registry.SetValue(root, path, value));
  }
  for (const ScriptKey& sub_key : key.keys) {
    VU_RETURN_IF_FAILED(RegisterKey(root, path, sub_key, registry));
  }
  return kS_OK;
}

HResult UnregisterKey(ScriptRoot root, const WString& parent, const ScriptKey& key,
                      ScriptRegistry& registry) {
  const WString path = JoinKeyPath(parent, key.name);
  if (Failed(registry.OpenKey(root, path))) return kS_OK;  // nothing of it to remove
  for (const ScriptValue& value : key.values) {
    VU_RETURN_IF_FAILED(registry.DeleteValue(root, path, value.name));
  }
  for (const ScriptKey& sub_key : key.keys) {
    VU_RETURN_IF_FAILED(UnregisterKey(root, path, sub_key, registry));
  }
  if (key.mode == ScriptKeyMode::kNoRemove) return kS_OK;
  std::uint32_t sub_keys = 0;
  VU_RETURN_IF_FAILED(registry.CountSubKeys(root, path, &sub_keys));
  if (sub_keys == 0) VU_RETURN_IF_FAILED(registry.DeleteKey(root, path));
  return kS_OK;
}

HResult UnregisterBlock(const ScriptRootBlock& block, ScriptRegistry& registry) {
  for (const ScriptKey& key : block.keys) {
    VU_RETURN_IF_FAILED(UnregisterKey(block.root, WString(), key, registry));
  }
  return kS_OK;
}

HResult RegisterBlock(const ScriptRootBlock& block, ScriptRegistry& registry) {
  for (const ScriptKey& key : block.keys) {
    const HResult hr = RegisterKey(block.root, WString(), key, registry);
    if (Failed(hr)) {
      UnregisterBlock(block, registry);  // roll back; the first failure is what counts
      return hr;
    }
  }
  return kS_OK;
}

}  // namespace

HResult RegisterScript(const ParsedScript& script, ScriptRegistry& registry) {
  for (const ScriptRootBlock& block : script.roots) {
    VU_RETURN_IF_FAILED(RegisterBlock(block, registry));
  }
  return kS_OK;
}

HResult UnregisterScript(const ParsedScript& script, ScriptRegistry& registry) {
  for (const ScriptRootBlock& block : script.roots) {
    VU_RETURN_IF_FAILED(UnregisterBlock(block, registry));
  }
  return kS_OK;
}

}  // namespace ci
