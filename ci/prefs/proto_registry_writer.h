// Writes a store's message as one checksummed REG_BINARY value below a key path.
#pragma once

#include "ci/base/wide_string.h"
#include "net/proto/protocol_message.h"

class ProtoRegistryWriter {
 public:
  ProtoRegistryWriter() = default;
  ProtoRegistryWriter(const ProtoRegistryWriter&) = delete;
  ProtoRegistryWriter& operator=(const ProtoRegistryWriter&) = delete;
  ~ProtoRegistryWriter() { Close(); }

  // Remembers the key path the values go to.
  void Open(const ci::WString& key_path);
  void Close();
  bool is_open() const { return open_; }

  // Writes the wrapper's serialised message and its checksum as `value_name`
  // (creating the key when missing); an empty serialisation removes the value
  // instead, and a value that is already gone counts as removed. False when the
  // writer is not open or the registry refused.
  bool Save(ProtoWrapper* wrapper, const ci::WString& value_name);

 private:
  ci::WString key_path_;
  bool open_ = false;
};
