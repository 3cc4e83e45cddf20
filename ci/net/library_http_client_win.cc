#include "ci/net/library_http_client_win.h"

namespace ci {

HResult LibraryHttpClient::Abort() {
  handles_.Abort();
  return kS_OK;
}

BodySource LibraryHttpClient::MakeBodySource() {
  void* request = handles_.Get(ClientHandles::kRequest);
  return BodySource{
      [this] { return handles_.aborted(); },
      [this, request](std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read) {
        DWORD count = 0;
        const BOOL ok = ReadChunk(request, buffer, capacity, &count);
        *read = count;
        return ok != FALSE;
      }};
}

HResult LibraryHttpClient::ReadResponseBody(WString* text, std::uint32_t max_bytes) {
  if (status_ == 0) return kE_FAIL;
  return ReadBodyAsText(MakeBodySource(), max_bytes, text);
}

HResult LibraryHttpClient::ReadResponseBodyToBuffer(std::vector<std::uint8_t>* bytes,
                                                    std::uint32_t max_bytes) {
  if (status_ == 0) return kE_FAIL;
  return ReadBodyAsBytes(MakeBodySource(), max_bytes, bytes);
}

HResult LibraryHttpClient::ReadResponseBodyToFile(const WString& path, std::uint32_t max_bytes) {
  if (status_ == 0) return kE_FAIL;
  return ReadBodyToNewFile(MakeBodySource(), max_bytes, path);
}

}  // namespace ci
