// HttpClient over WinINet, with its own binding to the library. Its sends are
// refused at once when the machine has no usable network.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>

#include "ci/net/body_forms_win.h"
#include "ci/net/client_handles_win.h"
#include "ci/net/http_client.h"
#include "ci/net/http_client_creators.h"
#include "ci/net/inet_api_win.h"
#include "ci/net/probe_host.h"

namespace ci {

class InetHttpClient : public HttpClient {
 public:
  using NetworkCheck = bool (*)();

  // Takes over the library reference behind `api`.
  InetHttpClient(UniqueLibrary library, const InetApi& api,
                 ProbeEndpoint probe = DefaultProbeEndpoint(),
                 NetworkCheck network_available = nullptr);
  ~InetHttpClient() override;

  HResult Abort() override;
  std::uint32_t GetStatusCode() override { return status_; }
  HResult GetResponseHeader(const WString& name, WString* value) override;
  HResult GetRawResponseHeaders(WString* value) override;
  HResult ReadResponseBody(WString* text, std::uint32_t max_bytes) override;
  HResult ReadResponseBodyToBuffer(std::vector<std::uint8_t>* bytes,
                                   std::uint32_t max_bytes) override;
  HResult ReadResponseBodyToFile(const WString& path, std::uint32_t max_bytes) override;
  HResult QueryProxyAuthScheme(std::uint32_t* scheme) override;
  // Always E_NOTIMPL: this client does no automatic proxy lookup.
  HResult GetProxyForUrl(const WString& url, WString* proxy) override;
  HResult GetDefaultProxyConfiguration(std::uint32_t* access_type, WString* proxy,
                                       WString* bypass) override;
  HResult CrackUrl(const WString& url, bool escape, UrlComponents* components) override;
  HResult Send(const WString& host, std::uint16_t port, const WString& path) override;
  bool CheckConnection() override;

 private:
  HResult SendOnce(const WString& host, std::uint16_t port, const WString& path, bool use_proxy);
  BodySource MakeBodySource();

  UniqueLibrary library_;
  InetApi api_;
  ProbeEndpoint probe_;
  NetworkCheck network_available_;
  ClientHandles handles_;
  std::atomic<std::uint32_t> status_{0};
};

}  // namespace ci
