// The process-wide registry of message types by name (and by numeric id when it
// is nonzero), with a reference count per entry, and its name hash: Bob Jenkins'
// published lookup2 hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "net/proto/unnamed_mutex.h"

class MessageType;

// lookup2 over `length` bytes with a = b = 0x9e3779b9 and c = `initial`.
uint32_t Lookup2Hash(const uint8_t* bytes, size_t length, uint32_t initial);

// The registry's name hash: lookup2 over the name's bytes with c = 0x12b9b0a1;
// 0xFFFFFFFF is mapped to 0xFFFFFFFE.
uint32_t TypeNameHash(std::string_view name);

class MessageTypeRegistry {
 public:
  MessageTypeRegistry() = default;
  MessageTypeRegistry(const MessageTypeRegistry&) = delete;
  MessageTypeRegistry& operator=(const MessageTypeRegistry&) = delete;

  // The process-wide instance, created on first use and kept to the end of the
  // process so that registrations undone at exit still find it.
  static MessageTypeRegistry& Global();

  // Adds the type under its name (and nonzero id) with count 1, or raises the
  // count of the entry already there.
  void Register(const MessageType* type);
  // Lowers the count, removing the entry when it would fall below 1.
  void Unregister(const MessageType* type);

  // 0 when absent.
  int32_t NameCount(const std::string& name) const;
  int32_t IdCount(int32_t numeric_id) const;
  const MessageType* FindByName(const std::string& name) const;
  const MessageType* FindById(int32_t numeric_id) const;
  // Every registered type, in byte order of the names.
  std::vector<const MessageType*> TypesByName() const;

 private:
  struct Entry {
    const MessageType* type;
    int32_t count;
  };
  struct NameHash {
    size_t operator()(const std::string& name) const { return TypeNameHash(name); }
  };

  template <typename Map, typename Key>
  static void Add(Map& map, const Key& key, const MessageType* type);
  template <typename Map, typename Key>
  static void Remove(Map& map, const Key& key);

  mutable UnnamedMutex mutex_;
  std::unordered_map<std::string, Entry, NameHash> by_name_;
  std::unordered_map<int32_t, Entry> by_id_;
};

// Registers a type for the lifetime of this object (a class's static data).
class ScopedTypeRegistration {
 public:
  explicit ScopedTypeRegistration(const MessageType* type) : type_(type) {
    MessageTypeRegistry::Global().Register(type_);
  }
  ~ScopedTypeRegistration() { MessageTypeRegistry::Global().Unregister(type_); }
  ScopedTypeRegistration(const ScopedTypeRegistration&) = delete;
  ScopedTypeRegistration& operator=(const ScopedTypeRegistration&) = delete;

 private:
  const MessageType* type_;
};
