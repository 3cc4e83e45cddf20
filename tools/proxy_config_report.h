// What adminprefs proxy-config found: the default proxy configuration and the
// answer of automatic configuration for a URL, as text, as JSON and as the exit
// code. A failed read or lookup is shown as that failure, never as "direct".
// Platform-free.
#pragma once

#include <cstdint>
#include <string>

#include "ci/base/hresult.h"

namespace ci {

enum class ProxyLookupAnswer {
  kNotAsked,      // no URL given
  kNotAvailable,  // the client has no automatic lookup (WinINet)
  kFailed,        // detection or the script failed: lookup_result says how
  kDirect,        // the answer was to connect directly
  kProxy,         // the answer named proxies (chosen_proxy)
};

struct ProxyConfigReport {
  std::string client;  // "winhttp" or "wininet"
  HResult default_result = kS_OK;
  std::uint32_t access_type = 0;  // ProxyAccessType: 0 direct, 1 named proxy, 2 other
  std::string proxy;
  std::string bypass;

  std::string url;
  std::string auto_config_url;  // empty: automatic detection
  ProxyLookupAnswer answer = ProxyLookupAnswer::kNotAsked;
  HResult lookup_result = kS_OK;
  std::string chosen_proxy;
  std::string chosen_bypass;
};

// The answer of a lookup that ran: a failure, a named proxy list, or direct.
ProxyLookupAnswer ClassifyProxyLookup(HResult result, bool named_proxy, const std::string& proxy);

std::string FormatProxyConfigText(const ProxyConfigReport& report);
std::string FormatProxyConfigJson(const ProxyConfigReport& report);
// 1 when the default configuration could not be read or the lookup failed.
int ProxyConfigExitCode(const ProxyConfigReport& report);

}  // namespace ci
