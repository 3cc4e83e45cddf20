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

namespace {

constexpr uint32_t kGoldenRatio = 0x9e3779b9u;
constexpr uint32_t kTypeNameSeed = 0x12b9b0a1u;

inline void Mix(uint32_t& a, uint32_t& b, uint32_t& c) {
  a -= b;
  a -= c;
  a ^= (c >> 13);
  b -= c;
  b -= a;
  b ^= (a << 8);
  c -= a;
  c -= b;
  c ^= (b >> 13);
  a -= b;
  a -= c;
  a ^= (c >> 12);
  b -= c;
  b -= a;
  b ^= (a << 16);
  c -= a;
  c -= b;
  c ^= (b >> 5);
  a -= b;
  a -= c;
  a ^= (c >> 3);
  b -= c;
  b -= a;
  b ^= (a << 10);
  c -= a;
  c -= b;
  c ^= (b >> 15);
}

inline uint32_t Word(const uint8_t* k) {
  return static_cast<uint32_t>(k[0]) | static_cast<uint32_t>(k[1]) << 8 |
         static_cast<uint32_t>(k[2]) << 16 | static_cast<uint32_t>(k[3]) << 24;
}

}  // namespace

uint32_t Lookup2Hash(const uint8_t* k, size_t length, uint32_t initial) {
  uint32_t a = kGoldenRatio;
  uint32_t b = kGoldenRatio;
  uint32_t c = initial;
  size_t left = length;
  while (left >= 12) {
    a += Word(k);
    b += Word(k + 4);
    c += Word(k + 8);
    Mix(a, b, c);
    k += 12;
    left -= 12;
  }
  // The low byte of c is taken by the length; the tail fills the rest.
  c += static_cast<uint32_t>(length);
  switch (left) {
    case 11:
      c += static_cast<uint32_t>(k[10]) << 24;
      [[fallthrough]];
    case 10:
      c += static_cast<uint32_t>(k[9]) << 16;
      [[fallthrough]];
    case 9:
      c += static_cast<uint32_t>(k[8]) << 8;
      [[fallthrough]];
    case 8:
      b += static_cast<uint32_t>(k[7]) << 24;
      [[fallthrough]];
    case 7:
      b += static_cast<uint32_t>(k[6]) << 16;
      [[fallthrough]];
    case 6:
      b += static_cast<uint32_t>(k[5]) << 8;
      [[fallthrough]];
    case 5:
      b += k[4];
      [[fallthrough]];
    case 4:
      a += static_cast<uint32_t>(k[3]) << 24;
      [[fallthrough]];
    case 3:
      a += static_cast<uint32_t>(k[2]) << 16;
      [[fallthrough]];
    case 2:
      a += static_cast<uint32_t>(k[1]) << 8;
      [[fallthrough]];
    case 1:
      a += k[0];
      [[fallthrough]];
    default:
      break;
  }
  Mix(a, b, c);
  return c;
}

uint32_t TypeNameHash(std::string_view name) {
  const uint32_t h =
      Lookup2Hash(reinterpret_cast<const uint8_t*>(name.data()), name.size(), kTypeNameSeed);
  return h == 0xFFFFFFFFu ? 0xFFFFFFFEu : h;
}
