// Choosing among the proxy authentication schemes on offer, and the platform's
// scheme flags (the WinHTTP numbering).
#pragma once

#include <cstdint>

#include "ci/base/wide_string.h"

namespace ci {

// The platform's scheme flags.
constexpr std::uint32_t kSchemeFlagBasic = 0x1;
constexpr std::uint32_t kSchemeFlagNtlm = 0x2;
constexpr std::uint32_t kSchemeFlagDigest = 0x8;
constexpr std::uint32_t kSchemeFlagNegotiate = 0x10;

// The preferred scheme of a set of flags: NTLM, Negotiate, Digest, Basic; any
// other non-empty set is "unsupported" (1); an empty set is none (0).
std::uint32_t SchemeFromFlags(std::uint32_t supported);

// The flag to hand the platform with credentials for `scheme`; 0 for none,
// unsupported, and values out of range.
std::uint32_t FlagForScheme(std::uint32_t scheme);

// The rank of a scheme word of a Proxy-Authenticate header, ignoring case:
// Negotiate 4, NTLM 5, Digest 3, Basic 2, anything else 1.
std::uint32_t RankSchemeWord(const WString& word);

// The highest-ranked scheme named by the Proxy-Authenticate lines of a raw
// header block; 0 when there is none.
std::uint32_t BestSchemeInHeaders(const WString& raw_headers);

}  // namespace ci
