// The bytes a preference store saves: its message, brought up to date from the
// store, in wire format.
#pragma once

#include <cstdint>
#include <vector>

#include "net/proto/protocol_message.h"

// Takes the store's message, copies the store's present fields into it and encodes
// it; the message keeps what decoding put there (unknown fields included).
std::vector<uint8_t> SerializeWrapper(ProtoWrapper* wrapper);
