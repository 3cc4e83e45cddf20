// Test helpers: decode bytes into a message, and encode one through every writer
// (AppendEncoded, WriteToChain) checking that they agree with each other and
// with EncodedSize.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/proto/byte_chain.h"
#include "net/proto/protocol_message.h"
#include "tests/support/bytes.h"

namespace wire_checks {

using ci::test::Bytes;

inline bool Parse(ProtocolMessage* m, const Bytes& b) {
  return ParseFromBytes(m, b.data(), static_cast<int32_t>(b.size()));
}

inline Bytes Encode(const ProtocolMessage& m) {
  std::string appended;
  AppendEncoded(m, &appended);
  EXPECT_EQ(static_cast<int32_t>(appended.size()), m.EncodedSize());
  ByteChain chain;
  m.WriteToChain(&chain);
  std::string chained(static_cast<size_t>(chain.size()), '\0');
  if (!chained.empty()) chain.CopyTo(reinterpret_cast<uint8_t*>(&chained[0]));
  EXPECT_EQ(chained, appended);
  return Bytes(appended.begin(), appended.end());
}

}  // namespace wire_checks
