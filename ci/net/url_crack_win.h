// Splitting a URL with either library's URL cracker. Both fill a record with the
// same members (WinHTTP's URL_COMPONENTS, WinINet's URL_COMPONENTSW), so one
// template serves both; each client includes its own library header.
#pragma once

#include <windows.h>

#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/secret_wstring.h"
#include "ci/net/http_client.h"

namespace ci {

// `crack(parts)` calls the library with the URL, its length and the flags, and
// returns its BOOL. The password is written into wiped storage only, and that is
// wiped on every way out.
template <typename Parts, typename Crack>
HResult CrackUrlInto(std::size_t url_length, Crack crack, UrlComponents* components) {
  // A buffer for every part: with escaping the decoded parts are written there.
  const DWORD room = static_cast<DWORD>(url_length + 1);
  std::vector<wchar_t> scheme(room), host(room), user(room), path(room), extra(room);
  SecretWString password;
  Parts parts{};
  parts.dwStructSize = sizeof(parts);
  parts.lpszScheme = scheme.data();
  parts.dwSchemeLength = room;
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = room;
  parts.lpszUserName = user.data();
  parts.dwUserNameLength = room;
  parts.lpszPassword = AsWin(password.Prepare(room));
  parts.dwPasswordLength = room;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = room;
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = room;
  if (!crack(&parts)) return HResultFromFailedCall();
  components->scheme = FromWin(scheme.data(), parts.dwSchemeLength);
  components->scheme_number = static_cast<std::int32_t>(parts.nScheme);
  components->host = FromWin(host.data(), parts.dwHostNameLength);
  components->port = parts.nPort;
  components->user = FromWin(user.data(), parts.dwUserNameLength);
  password.Truncate(parts.dwPasswordLength);
  components->password = password;
  components->path = FromWin(path.data(), parts.dwUrlPathLength);
  components->extra = FromWin(extra.data(), parts.dwExtraInfoLength);
  return kS_OK;
}

}  // namespace ci
