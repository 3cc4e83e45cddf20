// The process-wide compiled expressions: the scheme of a Proxy-Authenticate
// header line, and the proxy entries of a browser preferences file written as
// user_pref("name", value) lines (anchored: one line per Match). Group 0 of each
// captures the value. Each is compiled on first use; the server builds all of
// them during static initialisation, and they are destroyed at exit.
#pragma once

#include "ci/net/regex.h"

namespace ci {

// The scheme word of a Proxy-Authenticate header line.
const AtlRE& ProxyAuthenticateRE();
// network.proxy.type: the type number.
const AtlRE& PrefProxyTypeRE();
// network.proxy.autoconfig_url: the address, with its quotes.
const AtlRE& PrefAutoConfigUrlRE();
// network.proxy.http: the host, with its quotes.
const AtlRE& PrefHttpProxyRE();
// network.proxy.http_port: the port number.
const AtlRE& PrefHttpPortRE();
// network.proxy.ssl: the host, with its quotes.
const AtlRE& PrefSslProxyRE();
// network.proxy.ssl_port: the port number.
const AtlRE& PrefSslPortRE();

// Compiles the seven in the order above (each at most once).
void BuildProxyExpressions();

}  // namespace ci
