#include "ci/base/wide_string.h"

namespace ci {

WChar ToUpperChar(WChar c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WChar>(c - 0x20) : c;
  return PlatformCharUpper(c);
}

WChar ToLowerChar(WChar c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<WChar>(c + 0x20) : c;
  return PlatformCharLower(c);
}

WString& LowerCaseInPlace(WString& s) {
  for (WChar c : s) {
    if (c >= 0x80) {
      PlatformLowerString(s);
      return s;
    }
  }
  for (WChar& c : s) {
    if (c >= u'A' && c <= u'Z') c = static_cast<WChar>(c + 0x20);
  }
  return s;
}

int CompareChars(const WChar* a, const WChar* b, std::size_t count, bool ignore_case) {
  int diff = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const WChar ca = ignore_case ? ToLowerChar(a[i]) : a[i];
    const WChar cb = ignore_case ? ToLowerChar(b[i]) : b[i];
    diff = static_cast<int>(ca) - static_cast<int>(cb);
    if (diff != 0 || a[i] == 0) break;
  }
  return diff;
}

std::size_t FindIgnoreCase(const WString& text, const WString& pattern) {
  if (pattern.size() > text.size()) return WString::npos;
  const std::size_t last = text.size() - pattern.size();
  for (std::size_t start = 0; start <= last; ++start) {
    std::size_t i = 0;
    while (i < pattern.size() && ToUpperChar(text[start + i]) == ToUpperChar(pattern[i])) ++i;
    if (i == pattern.size()) return start;
  }
  return WString::npos;
}

int DigitValue(WChar c) { return (c >= u'0' && c <= u'9') ? c - u'0' : -1; }

std::int32_t ParseDecimal(const WChar* s, const WChar** end) {
  const WChar* p = s;
  while (*p == u' ') ++p;
  bool negative = false;
  if (*p == u'-' || *p == u'+') negative = (*p++ == u'-');

  const WChar* const digits = p;
  std::uint32_t value = 0;
  bool overflow = false;
  for (int d; (d = DigitValue(*p)) >= 0; ++p) {
    if (overflow) continue;
    const std::uint64_t next = std::uint64_t{value} * 10 + static_cast<std::uint32_t>(d);
    if (next > 0xFFFFFFFFu) {
      overflow = true;
    } else {
      value = static_cast<std::uint32_t>(next);
    }
  }
  if (p == digits) {
    if (end) *end = s;
    return 0;
  }
  if (end) *end = p;
  if (negative) {
    if (overflow || value > 2147483648u) return INT32_MIN;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
  }
  if (overflow || value > 2147483647u) return INT32_MAX;
  return static_cast<std::int32_t>(value);
}

#ifndef _WIN32
// Case mapping off Windows: an equivalent of the platform's single-character
// mapping for the scripts the product meets (Latin, Greek, Cyrillic, full-width).
// Windows maps through its own character tables (wide_string_win.cc).
namespace {

struct Range {
  WChar lower_first;
  WChar lower_last;
  int delta;         // upper = lower + delta
  bool alternating;  // upper/lower pairs at even/odd positions
};

// Lower-case ranges and how they map to upper case.
constexpr Range kRanges[] = {
    {0x00E0, 0x00F6, -0x20, false}, {0x00F8, 0x00FE, -0x20, false}, {0x0101, 0x012F, -1, true},
    {0x0133, 0x0137, -1, true},     {0x013A, 0x0148, -1, true},     {0x014B, 0x0177, -1, true},
    {0x017A, 0x017E, -1, true},     {0x03B1, 0x03C1, -0x20, false}, {0x03C3, 0x03CB, -0x20, false},
    {0x0430, 0x044F, -0x20, false}, {0x0450, 0x045F, -0x50, false}, {0x0461, 0x0481, -1, true},
    {0xFF41, 0xFF5A, -0x20, false},
};

bool InRange(const Range& r, WChar c, WChar first, WChar last) {
  if (c < first || c > last) return false;
  return !r.alternating || ((c - first) % 2 == 0);
}

}  // namespace

WChar PlatformCharUpper(WChar c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WChar>(c - 0x20) : c;
  if (c == 0x00FF) return 0x0178;
  for (const Range& r : kRanges) {
    if (InRange(r, c, r.lower_first, r.lower_last)) return static_cast<WChar>(c + r.delta);
  }
  return c;
}

WChar PlatformCharLower(WChar c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<WChar>(c + 0x20) : c;
  if (c == 0x0178) return 0x00FF;
  for (const Range& r : kRanges) {
    const WChar first = static_cast<WChar>(r.lower_first + r.delta);
    const WChar last = static_cast<WChar>(r.lower_last + r.delta);
    if (InRange(r, c, first, last)) return static_cast<WChar>(c - r.delta);
  }
  return c;
}

void PlatformLowerString(WString& s) {
  for (WChar& c : s) {
    if (c == 0) break;  // the platform call stops at the first zero character
    c = PlatformCharLower(c);
  }
}
#endif  // _WIN32

}  // namespace ci
