#include "ci/net/proxy_auth_scheme.h"

#include <algorithm>

#include "ci/base/wide_string.h"
#include "ci/net/http_client.h"
#include "ci/net/proxy_expressions.h"

namespace ci {

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

}  // namespace ci
