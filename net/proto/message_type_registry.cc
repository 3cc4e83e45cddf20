#include "net/proto/message_type_registry.h"

#include <algorithm>

#include "net/proto/message_type.h"

MessageTypeRegistry& MessageTypeRegistry::Global() {
  // Initialised once under the compiler's thread-safe guard, never destroyed.
  static MessageTypeRegistry* const registry = new MessageTypeRegistry;
  return *registry;
}

template <typename Map, typename Key>
void MessageTypeRegistry::Add(Map& map, const Key& key, const MessageType* type) {
  auto it = map.find(key);
  if (it == map.end()) {
    map.emplace(key, Entry{type, 1});
  } else {
    ++it->second.count;
  }
}

template <typename Map, typename Key>
void MessageTypeRegistry::Remove(Map& map, const Key& key) {
  auto it = map.find(key);
  if (it == map.end()) return;
  if (it->second.count <= 1) {
    map.erase(it);
  } else {
    --it->second.count;
  }
}

void MessageTypeRegistry::Register(const MessageType* type) {
  UnnamedMutexLock lock(mutex_);
  Add(by_name_, type->name(), type);
  if (type->numeric_id() != 0) Add(by_id_, type->numeric_id(), type);
}

void MessageTypeRegistry::Unregister(const MessageType* type) {
  UnnamedMutexLock lock(mutex_);
  Remove(by_name_, type->name());
  if (type->numeric_id() != 0) Remove(by_id_, type->numeric_id());
}

int32_t MessageTypeRegistry::NameCount(const std::string& name) const {
  UnnamedMutexLock lock(mutex_);
  auto it = by_name_.find(name);
  return it == by_name_.end() ? 0 : it->second.count;
}

int32_t MessageTypeRegistry::IdCount(int32_t numeric_id) const {
  UnnamedMutexLock lock(mutex_);
  auto it = by_id_.find(numeric_id);
  return it == by_id_.end() ? 0 : it->second.count;
}

const MessageType* MessageTypeRegistry::FindByName(const std::string& name) const {
  UnnamedMutexLock lock(mutex_);
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second.type;
}

const MessageType* MessageTypeRegistry::FindById(int32_t numeric_id) const {
  UnnamedMutexLock lock(mutex_);
  auto it = by_id_.find(numeric_id);
  return it == by_id_.end() ? nullptr : it->second.type;
}

std::vector<const MessageType*> MessageTypeRegistry::TypesByName() const {
  std::vector<const MessageType*> types;
  {
    UnnamedMutexLock lock(mutex_);
    for (const auto& entry : by_name_) types.push_back(entry.second.type);
  }
  std::sort(types.begin(), types.end(),
            [](const MessageType* a, const MessageType* b) { return a->name() < b->name(); });
  return types;
}
