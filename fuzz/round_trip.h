// The property every message fuzzer checks: input that decodes re-encodes to
// bytes that decode again and re-encode to the very same bytes, through every
// writer, whether into a fresh message or a reused one.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "net/proto/byte_chain.h"
#include "net/proto/protocol_message.h"

// One message per type that lives across fuzz inputs.
template <typename Message>
Message* CarriedMessage() {
  static Message* const message = new Message;
  return message;
}

template <typename Message>
int RoundTrip(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return 0;
  Message first;
  if (!ParseFromBytes(&first, data, static_cast<int32_t>(size))) {
    Message* const carried = CarriedMessage<Message>();
    carried->Clear();
    (void)ParseFromBytes(carried, data, static_cast<int32_t>(size));
    return 0;
  }
  if (first.FindMissingField() != nullptr) std::abort();

  std::string once;
  AppendEncoded(first, &once);
  if (static_cast<int32_t>(once.size()) != first.EncodedSize()) std::abort();
  ByteChain chain;
  first.WriteToChain(&chain);
  std::string chained(static_cast<size_t>(chain.size()), '\0');
  chain.CopyTo(reinterpret_cast<uint8_t*>(&chained[0]));
  if (chained != once) std::abort();

  Message second;
  if (!ParseFromBytes(&second, reinterpret_cast<const uint8_t*>(once.data()),
                      static_cast<int32_t>(once.size()))) {
    std::abort();
  }
  std::string twice;
  AppendEncoded(second, &twice);
  if (twice != once) std::abort();

  // Clearing and decoding again into the same object gives the same result.
  first.Clear();
  if (!ParseFromBytes(&first, data, static_cast<int32_t>(size))) std::abort();
  std::string reused;
  AppendEncoded(first, &reused);
  if (reused != once) std::abort();
  (void)first.MemoryFootprint();

  // A message that held an earlier input's content, or the partial result of
  // a failed decode (strings, group records and unknown fields kept for reuse),
  // decodes this one exactly as a fresh one does.
  Message* const carried = CarriedMessage<Message>();
  carried->Clear();
  if (!ParseFromBytes(carried, data, static_cast<int32_t>(size))) std::abort();
  std::string carried_bytes;
  AppendEncoded(*carried, &carried_bytes);
  if (carried_bytes != once) std::abort();
  return 0;
}
