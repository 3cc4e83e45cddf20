#include "tools/http_redirect.h"

#include <algorithm>

#include "tools/http_url.h"

namespace ci {
namespace {

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A URL or reference in its five parts, each with whether it was there at all.
struct UrlParts {
  bool has_scheme = false;
  std::string scheme;
  bool has_authority = false;
  std::string authority;
  std::string path;
  bool has_query = false;
  std::string query;  // without its "?"
};

UrlParts SplitReference(const std::string& text) {
  UrlParts parts;
  std::size_t at = 0;
  const std::size_t colon = text.find(':');
  if (colon != std::string::npos && colon > 0 && IsAlpha(text[0]) &&
      text.find_first_of("/?#") > colon &&
      text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") ==
          colon) {
    parts.has_scheme = true;
    parts.scheme = text.substr(0, colon);
    at = colon + 1;
  }
  const std::size_t end =
      text.find('#', at) == std::string::npos ? text.size() : text.find('#', at);
  if (text.compare(at, 2, "//") == 0 && at + 2 <= end) {
    parts.has_authority = true;
    const std::size_t authority_end = std::min(text.find_first_of("/?#", at + 2), end);
    parts.authority = text.substr(at + 2, authority_end - at - 2);
    at = authority_end;
  }
  const std::size_t query = text.find('?', at);
  const std::size_t path_end = query < end ? query : end;
  parts.path = text.substr(at, path_end - at);
  if (query < end) {
    parts.has_query = true;
    parts.query = text.substr(query + 1, end - query - 1);
  }
  return parts;
}

// "." and ".." segments resolved, as references are.
std::string RemoveDotSegments(const std::string& path) {
  std::string input = path, output;
  while (!input.empty()) {
    if (input.compare(0, 3, "../") == 0) {
      input.erase(0, 3);
    } else if (input.compare(0, 2, "./") == 0) {
      input.erase(0, 2);
    } else if (input.compare(0, 3, "/./") == 0) {
      input.erase(0, 2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.compare(0, 4, "/../") == 0 || input == "/..") {
      input = input.size() == 3 ? "/" : input.substr(3);
      const std::size_t last = output.rfind('/');
      output.erase(last == std::string::npos ? 0 : last);
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      const std::size_t next = input.find('/', input[0] == '/' ? 1 : 0);
      output += input.substr(0, next);
      input.erase(0, next == std::string::npos ? input.size() : next);
    }
  }
  return output;
}

std::string JoinParts(const UrlParts& parts) {
  std::string url;
  if (parts.has_scheme) url += parts.scheme + ":";
  if (parts.has_authority) url += "//" + parts.authority;
  url += parts.path;
  if (parts.has_query) url += "?" + parts.query;
  return url;
}

std::string Trimmed(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

struct Origin {
  std::string scheme, host, port;
};

Origin OriginOf(const std::string& url) {
  const UrlParts parts = SplitReference(url);
  Origin origin;
  origin.scheme = AsciiLower(parts.scheme);
  std::string host_port = parts.authority.substr(parts.authority.rfind('@') + 1);
  const std::size_t bracket = host_port.rfind(']');  // an IPv6 literal holds colons
  const std::size_t colon = host_port.rfind(':');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    origin.port = host_port.substr(colon + 1);
    host_port.erase(colon);
  }
  origin.host = AsciiLower(host_port);
  if (origin.port.empty()) origin.port = origin.scheme == "https" ? "443" : "80";
  return origin;
}

}  // namespace

std::string HeaderNameOf(const std::string& line) {
  return AsciiLower(Trimmed(line.substr(0, line.find(':'))));
}

bool IsFollowedRedirect(std::uint32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string ResolveLocation(const std::string& base, const std::string& location) {
  const UrlParts reference = SplitReference(Trimmed(location));
  if (reference.has_scheme) {
    UrlParts target = reference;
    target.path = RemoveDotSegments(reference.path);
    return JoinParts(target);
  }
  const UrlParts from = SplitReference(base);
  UrlParts target = from;
  if (reference.has_authority) {
    target.authority = reference.authority;
    target.has_authority = true;
    target.path = RemoveDotSegments(reference.path);
    target.has_query = reference.has_query;
    target.query = reference.query;
  } else if (reference.path.empty()) {
    if (reference.has_query) {
      target.has_query = true;
      target.query = reference.query;
    }
  } else {
    if (reference.path[0] == '/') {
      target.path = RemoveDotSegments(reference.path);
    } else if (from.has_authority && from.path.empty()) {
      target.path = RemoveDotSegments("/" + reference.path);
    } else {
      const std::size_t slash = from.path.rfind('/');
      const std::string directory =
          slash == std::string::npos ? std::string() : from.path.substr(0, slash + 1);
      target.path = RemoveDotSegments(directory + reference.path);
    }
    target.has_query = reference.has_query;
    target.query = reference.query;
  }
  return JoinParts(target);
}

bool SameOrigin(const std::string& a, const std::string& b) {
  const Origin first = OriginOf(a), second = OriginOf(b);
  return first.scheme == second.scheme && first.host == second.host && first.port == second.port;
}

RedirectAnswer AnswerRedirect(const RedirectQuestion& question) {
  RedirectAnswer answer;
  if (!IsFollowedRedirect(question.status) || Trimmed(question.location).empty()) return answer;
  const std::string next = ResolveLocation(question.url, question.location);
  const std::string scheme = AsciiLower(SplitReference(next).scheme);
  answer.verdict = RedirectAnswer::kRefuse;
  if (question.followed >= question.limit) {
    answer.reason = "more than " + std::to_string(question.limit) +
                    " redirects (--max-redirs); the last pointed to " + RedactUrl(next);
  } else if (scheme != "http" && scheme != "https") {
    answer.reason = "the redirect to " + RedactUrl(next) + " is not followed: http and https only";
  } else if (UrlHasCredentials(next)) {
    answer.reason = "the redirect to " + RedactUrl(next) +
                    " is not followed: the updater's clients send no user name or password to "
                    "a server";
  } else {
    answer.verdict = RedirectAnswer::kFollow;
    answer.url = next;
    answer.as_get = question.post &&
                    (question.status == 301 || question.status == 302 || question.status == 303);
  }
  return answer;
}

std::vector<std::string> HeadersForNextHop(const std::vector<std::string>& headers,
                                           bool same_origin, std::vector<std::string>* dropped) {
  std::vector<std::string> kept;
  for (const std::string& line : headers) {
    const std::string name = HeaderNameOf(line);
    if (!same_origin && (name == "authorization" || name == "cookie")) {
      dropped->push_back(Trimmed(line.substr(0, line.find(':'))));
    } else {
      kept.push_back(line);
    }
  }
  return kept;
}

}  // namespace ci
