// Case mapping off Windows: an equivalent of the platform's single-character
// mapping for the scripts the product meets (Latin, Greek, Cyrillic, full-width).
#include "ci/base/string_utils.h"

namespace ci {
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

}  // namespace ci
