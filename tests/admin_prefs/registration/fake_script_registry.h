// An in-memory registry for the script walks, with failures on request.
#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "admin_prefs/registration/registry_script.h"

namespace ci {

class FakeScriptRegistry : public ScriptRegistry {
 public:
  struct Key {
    std::map<WString, WString> values;  // "" is the default value; dwords as decimal text
  };

  // Keys by "root:path"; a parent exists whenever a child does.
  std::map<WString, Key> keys;
  // Paths ("root:path") whose operations fail with E_ACCESSDENIED.
  std::set<WString> fail_create, fail_open, fail_delete;
  // Value names whose writes fail.
  std::set<WString> fail_set_value;
  int write_count = 0;

  static WString Id(ScriptRoot root, const WString& path) {
    return WString(1, static_cast<WChar>(u'0' + static_cast<int>(root))) + u":" + path;
  }
  bool Has(ScriptRoot root, const WString& path) const { return keys.count(Id(root, path)) != 0; }
  const WString* Value(ScriptRoot root, const WString& path, const WString& name) const {
    auto key = keys.find(Id(root, path));
    if (key == keys.end()) return nullptr;
    auto value = key->second.values.find(name);
    return value == key->second.values.end() ? nullptr : &value->second;
  }
  void Put(ScriptRoot root, const WString& path, const WString& name = WString(),
           const WString& data = WString()) {
    for (std::size_t slash = path.find(u'\\'); slash != WString::npos;
         slash = path.find(u'\\', slash + 1)) {
      keys[Id(root, path.substr(0, slash))];
    }
    Key& key = keys[Id(root, path)];
    if (!name.empty() || !data.empty()) key.values[name] = data;
  }

  HResult CreateKey(ScriptRoot root, const WString& path) override {
    if (fail_create.count(Id(root, path))) return kE_ACCESSDENIED;
    ++write_count;
    Put(root, path);
    return kS_OK;
  }
  HResult OpenKey(ScriptRoot root, const WString& path) override {
    if (fail_open.count(Id(root, path))) return kE_ACCESSDENIED;
    return Has(root, path) ? kS_OK : kE_FILE_NOT_FOUND;
  }
  HResult DeleteKeyTree(ScriptRoot root, const WString& path) override {
    if (fail_delete.count(Id(root, path))) return kE_ACCESSDENIED;
    const WString id = Id(root, path);
    for (auto it = keys.begin(); it != keys.end();) {
      const bool below = it->first.compare(0, id.size() + 1, id + u"\\") == 0;
      it = (it->first == id || below) ? keys.erase(it) : std::next(it);
    }
    return kS_OK;
  }
  HResult DeleteKey(ScriptRoot root, const WString& path) override {
    if (fail_delete.count(Id(root, path))) return kE_ACCESSDENIED;
    std::uint32_t count = 0;
    if (Failed(CountSubKeys(root, path, &count))) return kE_FILE_NOT_FOUND;
    if (count != 0) return kE_ACCESSDENIED;
    ++write_count;
    keys.erase(Id(root, path));
    return kS_OK;
  }
  HResult CountSubKeys(ScriptRoot root, const WString& path, std::uint32_t* count) override {
    const WString id = Id(root, path);
    if (!keys.count(id)) return kE_FILE_NOT_FOUND;
    *count = 0;
    for (const auto& entry : keys) {
      const WString& other = entry.first;
      if (other.size() > id.size() + 1 && other.compare(0, id.size() + 1, id + u"\\") == 0 &&
          other.find(u'\\', id.size() + 1) == WString::npos) {
        ++*count;
      }
    }
    return kS_OK;
  }
  HResult SetValue(ScriptRoot root, const WString& path, const ScriptValue& value) override {
    if (fail_set_value.count(value.name)) return kE_ACCESSDENIED;
    auto key = keys.find(Id(root, path));
    if (key == keys.end()) return kE_FILE_NOT_FOUND;
    ++write_count;
    key->second.values[value.name] =
        (value.type == ScriptValueType::kDword ? u"dword:" : u"") + value.data;
    return kS_OK;
  }
  HResult DeleteValue(ScriptRoot root, const WString& path, const WString& name) override {
    auto key = keys.find(Id(root, path));
    if (key == keys.end()) return kE_FILE_NOT_FOUND;
    ++write_count;
    return key->second.values.erase(name) ? kS_OK : kS_FALSE;
  }
};

}  // namespace ci
