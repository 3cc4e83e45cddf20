#include "ci/net/body_reader.h"

#include "ci/net/http_client.h"

namespace ci {

HResult ReadBodyChunks(std::uint32_t max_bytes, const BodyReadHooks& hooks) {
  std::uint8_t chunk[kBodyChunkBytes];
  std::uint64_t total = 0;
  for (;;) {
    if (hooks.aborted()) return kE_ABORT;
    std::uint32_t read = 0;
    if (!hooks.read(chunk, kBodyChunkBytes, &read) || read == 0) return kS_OK;
    if (read > kBodyChunkBytes)
      return kE_FAIL;  // the library claims more than it was given room for
    total += read;
    if (max_bytes != 0 && total > max_bytes) return kE_HTTP_BODY_TOO_LARGE;
    VU_RETURN_IF_FAILED(hooks.append(chunk, read));
  }
}

}  // namespace ci
