#include "ci/prefs/stored_value.h"

#include <limits>
#include <utility>

#include "ci/base/crc32.h"

uint32_t MessageChecksum(const uint8_t* bytes, size_t length) {
  const std::unique_ptr<ci::CRC32> crc = ci::NewCrc32(ci::kCrc32Polynomial, 0);
  uint64_t lo = 0;
  uint64_t hi = 0;
  crc->InitialValue(&lo, &hi);
  crc->Update(&lo, &hi, bytes, length);
  return static_cast<uint32_t>(lo);
}

std::vector<uint8_t> SerializeWrapper(ProtoWrapper* wrapper) {
  ProtocolMessage* message = wrapper->GetMessage();
  wrapper->WriteToMessage(message);
  std::string bytes;
  AppendEncoded(*message, &bytes);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

namespace ci {
namespace {

uint32_t ReadLittleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

void AppendMessageChecksum(std::vector<uint8_t>* bytes) {
  const uint32_t checksum = MessageChecksum(bytes->data(), bytes->size());
  for (size_t i = 0; i < kStoredChecksumSize; ++i) {
    bytes->push_back(static_cast<uint8_t>(checksum >> (8 * i)));
  }
}

bool SplitStoredValue(const uint8_t* data, size_t size, std::string* message_bytes) {
  if (data == nullptr || size < kStoredChecksumSize) return false;
  const size_t length = size - kStoredChecksumSize;
  if (MessageChecksum(data, length) != ReadLittleEndian32(data + length)) return false;
  message_bytes->assign(reinterpret_cast<const char*>(data), length);
  return true;
}

bool ReadStoredMessage(const uint8_t* data, size_t size, ProtocolMessage* message) {
  std::string bytes;
  if (!SplitStoredValue(data, size, &bytes)) return false;
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  message->Clear();
  return ParseFromBytes(message, reinterpret_cast<const uint8_t*>(bytes.data()),
                        static_cast<int32_t>(bytes.size()));
}

HResult SplitMultiString(std::size_t byte_count, const WChar* chars, std::vector<WString>* list) {
  list->clear();
  const std::size_t n = byte_count / 2;
  if (n <= 1) return kS_OK;
  // Both final characters must be 0; that also bounds every scan below.
  if (chars[n - 1] != 0 || chars[n - 2] != 0) return kE_INVALIDARG;
  std::size_t pos = 0;
  while (chars[pos] != 0) {
    WString item(chars + pos);
    pos += item.size() + 1;
    list->push_back(std::move(item));
  }
  return kS_OK;
}

}  // namespace ci
