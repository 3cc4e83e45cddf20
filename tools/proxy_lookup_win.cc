#include "tools/proxy_lookup_win.h"

#include <windows.h>
#include <winhttp.h>

#include "ci/base/runtime_library_win.h"
#include "ci/base/hresult.h"
#include "ci/net/winhttp_client_win.h"

namespace ci {

ProxyLookup LookUpProxyForUrl(const WString& url, const WString& auto_config_url) {
  ProxyLookup lookup;
  const WinHttpApi* api = WinHttpApi::Process();
  if (api == nullptr) {
    lookup.result = kE_NOTIMPL;
    return lookup;
  }
  HINTERNET session = GuardedCall<HINTERNET>(nullptr, [&] {
    return api->open(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                     WINHTTP_NO_PROXY_BYPASS, 0);
  });
  if (session == nullptr) {
    lookup.result = HResultFromFailedCall();
    return lookup;
  }
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (auto_config_url.empty()) {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  } else {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = AsWin(auto_config_url);
  }
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  const BOOL found = GuardedCall<BOOL>(
      FALSE, [&] { return api->get_proxy_for_url(session, AsWin(url), &options, &info); });
  if (!found) {
    lookup.result = HResultFromFailedCall();
  } else {
    lookup.named_proxy = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    if (info.lpszProxy) lookup.proxy = FromWin(info.lpszProxy);
    if (info.lpszProxyBypass) lookup.bypass = FromWin(info.lpszProxyBypass);
  }
  if (info.lpszProxy) ::GlobalFree(info.lpszProxy);
  if (info.lpszProxyBypass) ::GlobalFree(info.lpszProxyBypass);
  GuardedCall<BOOL>(FALSE, [&] { return api->close_handle(session); });
  return lookup;
}

}  // namespace ci
