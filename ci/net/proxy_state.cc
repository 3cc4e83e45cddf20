#include "ci/net/proxy_state.h"

namespace ci {

ProxyState::ProxyState() { ResetFound(); }

void ProxyState::ResetFound() {
  found_type = 0;
  found_auto_config_url.clear();
  found_http_proxy.clear();
  found_http_port = kDefaultHttpPort;
  found_ssl_proxy.clear();
  found_ssl_port = kDefaultSslPort;
  found_reserved[0] = 0;
  found_reserved[1] = 0;
}

void ProxyState::MarkDirectWorks() {
  VU_UNDER_LOCK(&lock) {
    direct_ok = true;
    detected = false;
    ResetFound();
  }
}

ProxyState& GlobalProxyState() {
  static ProxyState state;
  return state;
}

}  // namespace ci
