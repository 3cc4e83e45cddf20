// What adminprefs http does with the URLs it is given before any client sees
// them: the fragment is cut off (it never goes on the wire), a password is never
// printed, and a proxy given as a URL gives up its credentials. Platform-free;
// URLs are UTF-8.
#pragma once

#include <string>

#include "ci/base/secret_wstring.h"

namespace ci {

// `url` up to its first "#".
std::string WithoutFragment(const std::string& url);

// True when the URL's authority (after "scheme://", up to the path) holds
// "user@" or "user:password@".
bool UrlHasCredentials(const std::string& url);

// `url` for messages: a password in its authority replaced by "***".
std::string RedactUrl(const std::string& url);

// A named proxy: "HOST:PORT", or as a URL "[http://][USER[:PASSWORD]@]HOST:PORT"
// with the user and password percent-decoded. False with a reason for anything
// else (another scheme, a path, no port).
struct ProxyAddress {
  std::string host_port;
  std::string user;
  SecretWString password;
};
bool ParseProxyAddress(const std::string& text, ProxyAddress* address, std::string* error);

}  // namespace ci
