#include "ci/net/http_client.h"

#include <algorithm>

#include "ci/base/wide_string.h"
#include "ci/net/proxy_expressions.h"

#ifndef VU_HTTP_PROBE_HOST
#error "VU_HTTP_PROBE_HOST names the probe host (a build setting)"
#endif

namespace ci {

bool UsesTls(TransportSecurity security, std::uint16_t port) {
  switch (security) {
    case TransportSecurity::kPlain:
      return false;
    case TransportSecurity::kTls:
      return true;
    case TransportSecurity::kByPort:
      break;
  }
  return port == 443;
}

HResult HttpClient::SendWithProxyAuth(const WString& host, std::uint16_t port,
                                      const WString& path) {
  VU_RETURN_IF_FAILED(Send(host, port, path));
  if (GetStatusCode() != 407 || proxy_server.empty()) return kS_OK;
  if (proxy_user.empty()) return kE_HTTP_PROXY_USER_MISSING;
  // A failed query leaves the scheme at none: the WinINet client sends its
  // credentials whatever the scheme, so the second send still goes ahead.
  QueryProxyAuthScheme(&proxy_auth_scheme);
  if (proxy_auth_scheme == kProxyAuthUnsupported || proxy_auth_scheme == kProxyAuthDigest) {
    return kE_HTTP_PROXY_SCHEME_UNSUPPORTED;
  }
  return Send(host, port, path);
}

ProbeEndpoint DefaultProbeEndpoint() {
  // The setting arrives as a narrow literal; it is plain ASCII.
  const char* host = VU_HTTP_PROBE_HOST;
  WString wide;
  for (; *host; ++host) wide.push_back(static_cast<WChar>(*host));
  return ProbeEndpoint{wide, 80};
}

std::uint32_t SchemeFromFlags(std::uint32_t supported) {
  if (supported & kSchemeFlagNtlm) return kProxyAuthNtlm;
  if (supported & kSchemeFlagNegotiate) return kProxyAuthNegotiate;
  if (supported & kSchemeFlagDigest) return kProxyAuthDigest;
  if (supported & kSchemeFlagBasic) return kProxyAuthBasic;
  return supported != 0 ? kProxyAuthUnsupported : kProxyAuthNone;
}

std::uint32_t FlagForScheme(std::uint32_t scheme) {
  switch (scheme) {
    case kProxyAuthBasic:
      return kSchemeFlagBasic;
    case kProxyAuthDigest:
      return kSchemeFlagDigest;
    case kProxyAuthNegotiate:
      return kSchemeFlagNegotiate;
    case kProxyAuthNtlm:
      return kSchemeFlagNtlm;
    default:
      return 0;
  }
}

std::uint32_t RankSchemeWord(const WString& word) {
  struct Rank {
    const char16_t* word;
    std::uint32_t scheme;
  };
  static constexpr Rank kRanks[] = {{u"Negotiate", kProxyAuthNegotiate},
                                    {u"NTLM", kProxyAuthNtlm},
                                    {u"Digest", kProxyAuthDigest},
                                    {u"Basic", kProxyAuthBasic}};
  for (const Rank& rank : kRanks) {
    const WString name(rank.word);
    if (name.size() == word.size() &&
        CompareChars(name.c_str(), word.c_str(), name.size(), /*ignore_case=*/true) == 0) {
      return rank.scheme;
    }
  }
  return kProxyAuthUnsupported;
}

std::uint32_t BestSchemeInHeaders(const WString& raw_headers) {
  std::uint32_t best = kProxyAuthNone;
  const WChar* text = raw_headers.c_str();
  WString word;
  // Each search starts where the previous match ended; a null position ends the walk.
  while (ProxyAuthenticateRE().Match(text, &word, 1, &text)) {
    best = std::max(best, RankSchemeWord(word));
  }
  return best;
}

namespace {

// One exchange, told to the observer; E_ABORT once aborted.
HResult SendAndTell(const HttpClient& settings, const SendAttemptHooks& hooks, std::int32_t attempt,
                    bool direct_retry) {
  HResult result = hooks.send_once(/*use_proxy=*/!direct_retry);
  if (hooks.aborted()) result = kE_ABORT;
  if (settings.attempt_observer) {
    settings.attempt_observer(
        SendAttemptReport{attempt, direct_retry, result, Succeeded(result) ? hooks.status() : 0});
  }
  return result;
}

}  // namespace

HResult RunSendAttempts(const HttpClient& settings, const SendAttemptHooks& hooks) {
  HResult result = kS_OK;
  for (std::int32_t attempt = 0; attempt <= settings.retries; ++attempt) {
    if (attempt > 0 && !hooks.pause(settings.retry_delay_ms)) return kE_ABORT;
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    result = SendAndTell(settings, hooks, attempt, /*direct_retry=*/false);
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    const bool answered = Succeeded(result) && (hooks.status() == 200 || hooks.status() == 304);
    if (!answered && settings.retry_without_proxy && !settings.proxy_server.empty()) {
      const HResult direct = SendAndTell(settings, hooks, attempt, /*direct_retry=*/true);
      VU_RETURN_IF(hooks.aborted(), kE_ABORT);
      if (Succeeded(direct)) {
        hooks.direct_works();
        result = direct;
      } else if (Succeeded(result)) {
        result = direct;
      }
    }
    if (Succeeded(result)) break;
  }
  return result;
}

void ExchangeDeadline::Start(std::uint64_t now_ms, std::uint32_t budget_ms) {
  limited_ = budget_ms != 0;
  end_ms_ = now_ms + budget_ms;
}

bool ExchangeDeadline::Expired(std::uint64_t now_ms) const { return limited_ && now_ms >= end_ms_; }

std::uint32_t ExchangeDeadline::Clip(std::uint32_t setting_ms, std::uint64_t now_ms) const {
  if (!limited_) return setting_ms;
  const std::uint64_t left = now_ms < end_ms_ ? end_ms_ - now_ms : 0;
  if (left == 0) return 1;
  if (setting_ms != 0 && setting_ms < left) return setting_ms;
  return static_cast<std::uint32_t>(left);  // at most the 32-bit budget
}

HResult ReadBodyChunks(std::uint32_t max_bytes, std::uint64_t declared_length,
                       const BodyReadHooks& hooks) {
  std::uint8_t chunk[kBodyChunkBytes];
  std::uint64_t total = 0;
  for (;;) {
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    VU_RETURN_IF(hooks.expired(), kE_HTTP_TIMEOUT);
    std::uint32_t read = 0;
    const HResult hr = hooks.read(chunk, kBodyChunkBytes, &read);
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    VU_RETURN_IF(hooks.expired(), kE_HTTP_TIMEOUT);
    VU_RETURN_IF_FAILED(hr);
    if (read == 0) {
      const bool short_body = declared_length != kNoDeclaredLength && total < declared_length;
      return short_body ? kE_HTTP_CONNECTION_ABORTED : kS_OK;
    }
    // The library claims more than it was given room for.
    VU_RETURN_IF(read > kBodyChunkBytes, kE_FAIL);
    total += read;
    if (max_bytes != 0 && total > max_bytes) return kE_HTTP_BODY_TOO_LARGE;
    VU_RETURN_IF_FAILED(hooks.append(chunk, read));
    // The whole declared body: no further read is needed to learn that it ended
    // (each read is a call into the library, and the last one would only say 0).
    if (declared_length != kNoDeclaredLength && total >= declared_length) return kS_OK;
  }
}

std::uint64_t ParseContentLength(const char16_t* text, std::size_t length) {
  std::size_t begin = 0, end = length;
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  if (begin == end) return kNoDeclaredLength;
  std::uint64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (text[i] < u'0' || text[i] > u'9') return kNoDeclaredLength;
    const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - u'0');
    // kNoDeclaredLength itself is never a length.
    if (value > (kNoDeclaredLength - 1 - digit) / 10) return kNoDeclaredLength;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace ci
