// The proxy that WinHTTP's automatic configuration picks for a URL, asked the way
// the updater's WinHTTP client asks (detection by DHCP and DNS, or the given
// auto-config script; automatic logon when challenged), but keeping the failure
// that the client's GetProxyForUrl does not report.
#pragma once

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

struct ProxyLookup {
  HResult result = kS_OK;  // the lookup's failure, or S_OK
  bool named_proxy = false;
  WString proxy;
  WString bypass;
};

// `auto_config_url` empty: automatic detection.
ProxyLookup LookUpProxyForUrl(const WString& url, const WString& auto_config_url);

}  // namespace ci
