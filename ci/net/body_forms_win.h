// The three forms a response body is read into (text, bytes, file), over one
// chunk reader of either HTTP library.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// One response's body as the reading loop sees it (ci/net/body_reader.h).
struct BodySource {
  std::function<bool()> aborted;
  std::function<bool()> expired;
  std::function<HResult(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read)> read;
  std::uint64_t declared_length;  // kNoDeclaredLength when none counts
};

HResult ReadBodyAsText(const BodySource& source, std::uint32_t max_bytes, WString* text);
HResult ReadBodyAsBytes(const BodySource& source, std::uint32_t max_bytes,
                        std::vector<std::uint8_t>* bytes);
// Creates (or replaces) the file first; the file is closed on every path and left
// in place, also when the read fails.
HResult ReadBodyToNewFile(const BodySource& source, std::uint32_t max_bytes, const WString& path);

}  // namespace ci
