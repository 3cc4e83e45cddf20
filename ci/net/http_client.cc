#include "ci/net/http_client.h"

namespace ci {

bool UsesTls(TransportSecurity security, std::uint16_t port) {
  switch (security) {
    case TransportSecurity::kPlain:
      return false;
    case TransportSecurity::kTls:
      return true;
    case TransportSecurity::kByPort:
      break;
  }
  return port == 443;
}

HResult HttpClient::SendWithProxyAuth(const WString& host, std::uint16_t port,
                                      const WString& path) {
  VU_RETURN_IF_FAILED(Send(host, port, path));
  if (GetStatusCode() != 407 || proxy_server.empty()) return kS_OK;
  if (proxy_user.empty()) return kE_HTTP_PROXY_USER_MISSING;
  // A failed query leaves the scheme at none: the WinINet client sends its
  // credentials whatever the scheme, so the second send still goes ahead.
  QueryProxyAuthScheme(&proxy_auth_scheme);
  if (proxy_auth_scheme == kProxyAuthUnsupported || proxy_auth_scheme == kProxyAuthDigest) {
    return kE_HTTP_PROXY_SCHEME_UNSUPPORTED;
  }
  return Send(host, port, path);
}

}  // namespace ci
