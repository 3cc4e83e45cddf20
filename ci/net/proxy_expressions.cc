#include "ci/net/proxy_expressions.h"

namespace ci {
namespace {

// The seven, compiled together in this order on first use of any of them.
struct ProxyExpressions {
  const AtlRE proxy_authenticate{uR"re(\n*Proxy\-Authenticate\:\b*{\w}\n*)re"};
  const AtlRE proxy_type{uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.type\"\b*,\b*{\d+}\))re"};
  const AtlRE auto_config_url{
      uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.autoconfig_url\"\b*,\b*{\q}\))re"};
  const AtlRE http_proxy{uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.http\"\b*,\b*{\q}\))re"};
  const AtlRE http_port{uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.http_port\"\b*,\b*{\d+}\))re"};
  const AtlRE ssl_proxy{uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.ssl\"\b*,\b*{\q}\))re"};
  const AtlRE ssl_port{uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.ssl_port\"\b*,\b*{\d+}\))re"};
};

const ProxyExpressions& All() {
  static const ProxyExpressions expressions;
  return expressions;
}

}  // namespace

const AtlRE& ProxyAuthenticateRE() { return All().proxy_authenticate; }
const AtlRE& PrefProxyTypeRE() { return All().proxy_type; }
const AtlRE& PrefAutoConfigUrlRE() { return All().auto_config_url; }
const AtlRE& PrefHttpProxyRE() { return All().http_proxy; }
const AtlRE& PrefHttpPortRE() { return All().http_port; }
const AtlRE& PrefSslProxyRE() { return All().ssl_proxy; }
const AtlRE& PrefSslPortRE() { return All().ssl_port; }

void BuildProxyExpressions() { All(); }

}  // namespace ci
