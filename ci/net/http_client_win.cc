// The Windows side of the HTTP client: the body in its three forms and the
// factory that picks the first library that can be bound.
#include "ci/net/http_client.h"

#include <windows.h>

#include <string>

#include "ci/base/utf8.h"
#include "ci/base/win_handles.h"

namespace ci {
namespace {

BodyReadHooks HooksFor(const BodySource& source,
                       std::function<HResult(const std::uint8_t*, std::uint32_t)> append) {
  return BodyReadHooks{source.aborted, source.expired, source.read, std::move(append)};
}

}  // namespace

HResult ReadBodyAsText(const BodySource& source, std::uint32_t max_bytes, WString* text) {
  std::string bytes;
  const HResult hr =
      ReadBodyChunks(max_bytes, source.declared_length,
                     HooksFor(source, [&](const std::uint8_t* data, std::uint32_t count) {
                       bytes.append(reinterpret_cast<const char*>(data), count);
                       return kS_OK;
                     }));
  VU_RETURN_IF_FAILED(hr);
  *text = Utf8ToWide(bytes.data(), bytes.size());
  return hr;
}

HResult ReadBodyAsBytes(const BodySource& source, std::uint32_t max_bytes,
                        std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  return ReadBodyChunks(max_bytes, source.declared_length,
                        HooksFor(source, [&](const std::uint8_t* data, std::uint32_t count) {
                          bytes->insert(bytes->end(), data, data + count);
                          return kS_OK;
                        }));
}

HResult ReadBodyToNewFile(const BodySource& source, std::uint32_t max_bytes, const WString& path) {
  UniqueFileHandle file(::CreateFileW(AsWin(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return HResultFromFailedCall();
  return ReadBodyChunks(
      max_bytes, source.declared_length,
      HooksFor(source, [&](const std::uint8_t* data, std::uint32_t count) {
        DWORD written = 0;
        if (!::WriteFile(file.get(), data, count, &written, nullptr) || written != count) {
          return HResultFromFailedCall();
        }
        return kS_OK;
      }));
}

std::unique_ptr<HttpClient> CreateHttpClient() {
  using Creator = std::unique_ptr<HttpClient> (*)();
  static constexpr Creator kCreators[] = {&CreateWinHttpClient, &CreateInetHttpClient};
  for (Creator create : kCreators) {
    if (std::unique_ptr<HttpClient> client = create()) return client;
  }
  return nullptr;
}

}  // namespace ci
