#include "tools/http_url.h"

#include "tools/secret_text.h"

namespace ci {
namespace {

struct Authority {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// After "scheme://" when the URL has one, else from the start; up to the path,
// query or fragment.
Authority AuthorityOf(const std::string& url) {
  Authority authority;
  const std::size_t scheme_end = url.find("://");
  if (scheme_end != std::string::npos && url.find_first_of("/?#") > scheme_end) {
    authority.begin = scheme_end + 3;
  }
  authority.end = url.find_first_of("/?#", authority.begin);
  if (authority.end == std::string::npos) authority.end = url.size();
  return authority;
}

// The last "@" of the authority (a password may hold "@" unescaped), or npos.
std::size_t CredentialsEnd(const std::string& url, const Authority& authority) {
  const std::size_t at = url.rfind('@', authority.end == 0 ? 0 : authority.end - 1);
  return at != std::string::npos && at >= authority.begin && at < authority.end ? at
                                                                                : std::string::npos;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// text[begin, end) with "%41" and the like decoded; a "%" without two hex digits
// stays as it is.
std::string PercentDecoded(const std::string& text, std::size_t begin, std::size_t end) {
  std::string out;
  out.reserve(end - begin);  // one allocation: no stale copy of a secret left behind
  for (std::size_t i = begin; i < end; ++i) {
    if (text[i] == '%' && i + 2 < end && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string WithoutFragment(const std::string& url) { return url.substr(0, url.find('#')); }

bool UrlHasCredentials(const std::string& url) {
  return CredentialsEnd(url, AuthorityOf(url)) != std::string::npos;
}

std::string RedactUrl(const std::string& url) {
  const Authority authority = AuthorityOf(url);
  const std::size_t at = CredentialsEnd(url, authority);
  if (at == std::string::npos) return url;
  const std::size_t colon = url.find(':', authority.begin);
  if (colon == std::string::npos || colon > at) return url;  // a user name only
  return url.substr(0, colon + 1) + "***" + url.substr(at);
}

bool ParseProxyAddress(const std::string& text, ProxyAddress* address, std::string* error) {
  // Positions only: the text's credentials are copied nowhere but into `address`.
  std::size_t begin = 0;
  std::size_t end = text.size();
  const std::size_t scheme_end = text.find("://");
  if (scheme_end != std::string::npos) {
    if (text.compare(0, scheme_end, "http") != 0) {
      *error = "--proxy takes an http proxy: HOST:PORT or http://[USER[:PASSWORD]@]HOST:PORT";
      return false;
    }
    begin = scheme_end + 3;
  }
  if (end > begin && text[end - 1] == '/') --end;
  const std::size_t at = text.rfind('@', end == 0 ? 0 : end - 1);
  const bool has_credentials = at != std::string::npos && at >= begin && at < end;
  const std::size_t host = has_credentials ? at + 1 : begin;
  const std::size_t colon = text.rfind(':', end == 0 ? 0 : end - 1);
  const std::size_t port_digits = colon == std::string::npos
                                      ? std::string::npos
                                      : text.find_first_not_of("0123456789", colon + 1);
  if (colon == std::string::npos || colon <= host || colon + 1 >= end ||
      (port_digits != std::string::npos && port_digits < end) ||
      text.find_first_of("/?#", host) < end) {
    *error = "--proxy takes HOST:PORT or http://[USER[:PASSWORD]@]HOST:PORT";
    return false;
  }
  address->host_port = text.substr(host, end - host);
  address->user.clear();
  address->password.Wipe();
  if (!has_credentials) return true;
  const std::size_t split = text.find(':', begin);
  const std::size_t user_end = split != std::string::npos && split < at ? split : at;
  address->user = PercentDecoded(text, begin, user_end);
  if (user_end < at) {
    std::string password = PercentDecoded(text, user_end + 1, at);
    SetSecretFromUtf8(password, &address->password);
    WipeText(&password);
  }
  return true;
}

}  // namespace ci
