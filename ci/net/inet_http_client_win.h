// HttpClient over WinINet, with its own binding to the library. Its sends are
// refused at once when the machine has no usable network.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>

#include "ci/net/http_client.h"
#include "ci/net/http_client_creators.h"
#include "ci/net/inet_api_win.h"
#include "ci/net/library_http_client_win.h"
#include "ci/net/probe_host.h"

namespace ci {

class InetHttpClient : public LibraryHttpClient {
 public:
  using NetworkCheck = bool (*)();

  // Takes over the library reference behind `api`.
  InetHttpClient(UniqueLibrary library, const InetApi& api,
                 ProbeEndpoint probe = DefaultProbeEndpoint(),
                 NetworkCheck network_available = nullptr);
  ~InetHttpClient() override;

  HResult GetResponseHeader(const WString& name, WString* value) override;
  HResult GetRawResponseHeaders(WString* value) override;
  HResult QueryProxyAuthScheme(std::uint32_t* scheme) override;
  // Always E_NOTIMPL: this client does no automatic proxy lookup.
  HResult GetProxyForUrl(const WString& url, WString* proxy) override;
  HResult GetDefaultProxyConfiguration(std::uint32_t* access_type, WString* proxy,
                                       WString* bypass) override;
  HResult CrackUrl(const WString& url, bool escape, UrlComponents* components) override;
  HResult Send(const WString& host, std::uint16_t port, const WString& path) override;
  bool CheckConnection() override;

 private:
  HResult SendOnce(const WString& host, std::uint16_t port, const WString& path,
                   bool use_proxy) override;
  BOOL ReadChunk(void* request, void* buffer, DWORD capacity, DWORD* read) override;
  void LimitReceiveWait(void* request, DWORD ms) override;
  // One HttpQueryInfo of `level` (for HTTP_QUERY_CUSTOM, of the header `name`),
  // growing the buffer once when the first try says it is too small.
  HResult QueryInfo(DWORD level, const WString& name, WString* value);

  UniqueLibrary library_;
  InetApi api_;
  ProbeEndpoint probe_;
  NetworkCheck network_available_;
};

}  // namespace ci
