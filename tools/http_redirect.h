// What adminprefs http -L does with a redirect: the tool follows it itself (the
// client never does), so that every hop is shown and gets the same rules: the
// scheme decides TLS, no URL with a password is sent, the fragment stays home,
// proxy credentials go to the configured proxy only. Platform-free; URLs are
// UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/hresult.h"

namespace ci {

// The result of an exchange whose redirect was not followed (the value of
// ERROR_WINHTTP_REDIRECT_FAILED, 12156).
constexpr HResult kE_HTTP_REDIRECT_FAILED = static_cast<HResult>(0x80072F7Cu);

// The default of --max-redirs.
constexpr std::uint32_t kDefaultMaxRedirects = 10;

// 301, 302, 303, 307 and 308: the answers -L follows when they name a Location.
bool IsFollowedRedirect(std::uint32_t status);

// `location` seen from `base`, the URL that answered: an absolute URL as it is,
// a reference ("//host/p", "/p", "p", "../p", "?q") resolved against `base` as
// browsers do, dot segments removed; without its fragment. Spaces around the
// header's value are left out.
std::string ResolveLocation(const std::string& base, const std::string& location);

// True when both URLs have the same scheme, host (ASCII case ignored) and port
// (the scheme's default when none is given).
bool SameOrigin(const std::string& a, const std::string& b);

struct RedirectQuestion {
  std::uint32_t status = 0;
  std::string location;        // the Location header's value; "" when there is none
  std::string url;             // the URL that answered
  bool post = false;           // that request carried a body
  std::uint32_t followed = 0;  // redirects followed before this one
  std::uint32_t limit = kDefaultMaxRedirects;
};

struct RedirectAnswer {
  enum Verdict {
    kShow,    // not a redirect to follow: the answer is the result
    kFollow,  // send to `url` next
    kRefuse,  // a redirect that is not followed, for `reason`
  };
  Verdict verdict = kShow;
  std::string url;
  bool as_get = false;  // kFollow: a GET without the body (303; 301 and 302 after a POST)
  std::string reason;   // kRefuse: one line; a password in the Location shows as ***
};

// The decision of -L for one answer.
RedirectAnswer AnswerRedirect(const RedirectQuestion& question);

// The name of a header line ("Name: value"), spaces left out, in ASCII lower case.
std::string HeaderNameOf(const std::string& line);

// The extra request headers ("Name: value") for the next hop: all of them when it
// stays at the same origin; for another one, none of those that carry the user's
// credentials (Authorization, Cookie), whose names go to `dropped`.
std::vector<std::string> HeadersForNextHop(const std::vector<std::string>& headers,
                                           bool same_origin, std::vector<std::string>* dropped);

}  // namespace ci
