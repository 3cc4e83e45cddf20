// The stored form of a preference message in the registry: the serialised message
// followed by its 4-byte checksum, least significant byte first. The service only
// writes it; the reader is for tools and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ProtocolMessage;

// CRC-32 (reflected polynomial 0xB9E50C1D, starting value the polynomial, no final
// inversion) over exactly the given bytes.
uint32_t MessageChecksum(const uint8_t* bytes, size_t length);

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

}  // namespace ci
