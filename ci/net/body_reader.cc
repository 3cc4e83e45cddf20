#include "ci/net/body_reader.h"

#include "ci/net/http_client.h"

namespace ci {

HResult ReadBodyChunks(std::uint32_t max_bytes, std::uint64_t declared_length,
                       const BodyReadHooks& hooks) {
  std::uint8_t chunk[kBodyChunkBytes];
  std::uint64_t total = 0;
  for (;;) {
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    VU_RETURN_IF(hooks.expired(), kE_HTTP_TIMEOUT);
    std::uint32_t read = 0;
    const HResult hr = hooks.read(chunk, kBodyChunkBytes, &read);
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    VU_RETURN_IF(hooks.expired(), kE_HTTP_TIMEOUT);
    VU_RETURN_IF_FAILED(hr);
    if (read == 0) {
      const bool short_body = declared_length != kNoDeclaredLength && total < declared_length;
      return short_body ? kE_HTTP_CONNECTION_ABORTED : kS_OK;
    }
    // The library claims more than it was given room for.
    VU_RETURN_IF(read > kBodyChunkBytes, kE_FAIL);
    total += read;
    if (max_bytes != 0 && total > max_bytes) return kE_HTTP_BODY_TOO_LARGE;
    VU_RETURN_IF_FAILED(hooks.append(chunk, read));
    // The whole declared body: no further read is needed to learn that it ended
    // (each read is a call into the library, and the last one would only say 0).
    if (declared_length != kNoDeclaredLength && total >= declared_length) return kS_OK;
  }
}

std::uint64_t ParseContentLength(const char16_t* text, std::size_t length) {
  std::size_t begin = 0, end = length;
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  if (begin == end) return kNoDeclaredLength;
  std::uint64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (text[i] < u'0' || text[i] > u'9') return kNoDeclaredLength;
    const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - u'0');
    // kNoDeclaredLength itself is never a length.
    if (value > (kNoDeclaredLength - 1 - digit) / 10) return kNoDeclaredLength;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace ci
