#include "ci/net/proxy_expressions.h"

namespace ci {

const AtlRE& ProxyAuthenticateRE() {
  static const AtlRE re(uR"re(\n*Proxy\-Authenticate\:\b*{\w}\n*)re");
  return re;
}

const AtlRE& PrefProxyTypeRE() {
  static const AtlRE re(uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.type\"\b*,\b*{\d+}\))re");
  return re;
}

const AtlRE& PrefAutoConfigUrlRE() {
  static const AtlRE re(
      uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.autoconfig_url\"\b*,\b*{\q}\))re");
  return re;
}

const AtlRE& PrefHttpProxyRE() {
  static const AtlRE re(uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.http\"\b*,\b*{\q}\))re");
  return re;
}

const AtlRE& PrefHttpPortRE() {
  static const AtlRE re(
      uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.http_port\"\b*,\b*{\d+}\))re");
  return re;
}

const AtlRE& PrefSslProxyRE() {
  static const AtlRE re(uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.ssl\"\b*,\b*{\q}\))re");
  return re;
}

const AtlRE& PrefSslPortRE() {
  static const AtlRE re(
      uR"re(^\b*user_pref\b*\(\b*\"network\.proxy\.ssl_port\"\b*,\b*{\d+}\))re");
  return re;
}

void BuildProxyExpressions() {
  ProxyAuthenticateRE();
  PrefProxyTypeRE();
  PrefAutoConfigUrlRE();
  PrefHttpProxyRE();
  PrefHttpPortRE();
  PrefSslProxyRE();
  PrefSslPortRE();
}

}  // namespace ci
