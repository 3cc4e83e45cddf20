// The body-reading loop shared by both HTTP clients and all three body forms.
#pragma once

#include <cstdint>
#include <functional>

#include "ci/base/hresult.h"

namespace ci {

struct BodyReadHooks {
  std::function<bool()> aborted;
  std::function<bool()> expired;  // the exchange deadline has passed
  // Reads up to `capacity` bytes; a failure ends the body with it. A read of 0
  // bytes ends the body.
  std::function<HResult(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read)> read;
  // Takes the bytes read; a failure ends the loop with it.
  std::function<HResult(const std::uint8_t* bytes, std::uint32_t count)> append;
};

constexpr std::uint32_t kBodyChunkBytes = 1024;
// The body declares no length (no Content-Length, or one that does not count).
constexpr std::uint64_t kNoDeclaredLength = ~std::uint64_t{0};

// Reads chunks until an empty read (S_OK; kE_HTTP_CONNECTION_ABORTED when fewer
// than `declared_length` bytes came), a failed read (its error), or a total above
// max_bytes when max_bytes is not 0 (0x8007007A, before the chunk that crossed
// the limit is appended). Whatever a read reported, after an abort the result is
// E_ABORT and past the deadline kE_HTTP_TIMEOUT.
HResult ReadBodyChunks(std::uint32_t max_bytes, std::uint64_t declared_length,
                       const BodyReadHooks& hooks);

// The length a Content-Length value declares: decimal digits only, around them
// spaces or tabs; kNoDeclaredLength for anything else (empty, signed, several
// values, beyond 64 bits).
std::uint64_t ParseContentLength(const char16_t* text, std::size_t length);

}  // namespace ci
