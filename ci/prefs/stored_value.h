// Stored registry values: the layouts of the values the product keeps and the
// writer that saves a store's message as one value.
//
// A preference message is stored as the serialised message followed by its
// 4-byte checksum, least significant byte first. The service only writes it; the
// reader is for tools and tests. A list is stored as REG_MULTI_SZ data:
// zero-terminated strings followed by a final zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"
#include "net/proto/protocol_message.h"

// CRC-32 (reflected polynomial 0xB9E50C1D, starting value the polynomial, no final
// inversion) over exactly the given bytes.
uint32_t MessageChecksum(const uint8_t* bytes, size_t length);

// The bytes a preference store saves: takes the store's message, copies the
// store's present fields into it and encodes it in wire format; the message keeps
// what decoding put there (unknown fields included).
std::vector<uint8_t> SerializeWrapper(ProtoWrapper* wrapper);

// Writes a store's message as one checksummed REG_BINARY value below a key path.
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

namespace ci {

constexpr size_t kStoredChecksumSize = 4;

// Appends the checksum of `bytes` to them, making the stored value.
void AppendMessageChecksum(std::vector<uint8_t>* bytes);

// Checks a stored value and hands out the message bytes in front of the checksum.
// False (and `message_bytes` untouched) for a value shorter than the checksum or
// one whose checksum does not match its bytes.
bool SplitStoredValue(const uint8_t* data, size_t size, std::string* message_bytes);

// SplitStoredValue, then decodes the message bytes into a cleared `message`. False
// when the checksum is wrong or the bytes do not decode.
bool ReadStoredMessage(const uint8_t* data, size_t size, ProtocolMessage* message);

// Fills `list` with the strings of a multi-string block of `byte_count` bytes
// (an odd last byte is ignored). Data of at most one character, or whose first
// character is 0, gives an empty list. Data whose last two characters are not
// both 0 is malformed: E_INVALIDARG with the list left empty.
HResult SplitMultiString(std::size_t byte_count, const WChar* chars, std::vector<WString>* list);

}  // namespace ci
