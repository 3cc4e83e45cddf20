// The body-reading loop shared by both HTTP clients and all three body forms.
#pragma once

#include <cstdint>
#include <functional>

#include "ci/base/hresult.h"

namespace ci {

struct BodyReadHooks {
  std::function<bool()> aborted;
  // Reads up to `capacity` bytes; false for a failed read. A read of 0 bytes ends
  // the body.
  std::function<bool(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read)> read;
  // Takes the bytes read; a failure ends the loop with it.
  std::function<HResult(const std::uint8_t* bytes, std::uint32_t count)> append;
};

constexpr std::uint32_t kBodyChunkBytes = 1024;

// Reads chunks until a failed or empty read (S_OK), an abort (E_ABORT), or a total
// above max_bytes when max_bytes is not 0 (0x8007007A, before the chunk that
// crossed the limit is appended).
HResult ReadBodyChunks(std::uint32_t max_bytes, const BodyReadHooks& hooks);

}  // namespace ci
