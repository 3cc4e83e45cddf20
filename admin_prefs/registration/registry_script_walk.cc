#include "admin_prefs/registration/registry_script_walk.h"

namespace ci {
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
