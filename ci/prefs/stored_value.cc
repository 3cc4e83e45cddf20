#include "ci/prefs/stored_value.h"

#include <limits>

#include "ci/base/crc32.h"
#include "net/proto/protocol_message.h"

uint32_t MessageChecksum(const uint8_t* bytes, size_t length) {
  const std::unique_ptr<ci::CRC32> crc = ci::NewCrc32(ci::kCrc32Polynomial, 0);
  uint64_t lo = 0;
  uint64_t hi = 0;
  crc->InitialValue(&lo, &hi);
  crc->Update(&lo, &hi, bytes, length);
  return static_cast<uint32_t>(lo);
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

}  // namespace ci
