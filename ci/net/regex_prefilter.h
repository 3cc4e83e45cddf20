// Where a match can start, known before any search: the characters that can
// begin a match, and a literal that every match contains together with the
// characters that can stand before it in a match. Both are found when a
// pattern is compiled; the search asks RegexStartFinder for the next position
// worth trying, so that text which cannot start a match costs no search at all
// and a text without the literal costs one scan. Internal to ci/net.
#pragma once

#include <cstdint>
#include <vector>

#include "ci/base/wide_string.h"
#include "ci/net/regex_tree.h"

namespace ci {

struct RegexProgram;

// The case folding of the search: a text character c matches pattern
// character p (already lower case) when RegexLower(c) == p.
inline WChar RegexLower(WChar c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<WChar>(c + 32) : c;
  return ToLowerChar(c);
}

// A set of lower-case characters: exact below 0x80, all or none from there on.
struct RegexCharClass {
  std::uint64_t ascii[2] = {0, 0};
  bool beyond_ascii = false;

  void Add(WChar lowered) {
    if (lowered < 0x80) {
      ascii[lowered >> 6] |= std::uint64_t(1) << (lowered & 63);
    } else {
      beyond_ascii = true;
    }
  }
  void AddAll() {
    ascii[0] = ascii[1] = ~std::uint64_t(0);
    beyond_ascii = true;
  }
  void Merge(const RegexCharClass& other) {
    ascii[0] |= other.ascii[0];
    ascii[1] |= other.ascii[1];
    beyond_ascii = beyond_ascii || other.beyond_ascii;
  }
  bool Contains(WChar lowered) const {
    if (lowered < 0x80) return (ascii[lowered >> 6] >> (lowered & 63)) & 1;
    return beyond_ascii;
  }
};

struct RegexPrefilter {
  // Characters that can begin a match; only valid when `has_first_set`, which
  // is false when a match can begin with empty text.
  bool has_first_set = false;
  RegexCharClass first;
  std::uint64_t first_any_case[2] = {0, 0};  // `first` below 0x80, tested before lowering

  // Every match contains `literal` (lower case; empty when none is known), and
  // what the match takes before that occurrence consists of characters of
  // `lead` only.
  WString literal;
  RegexCharClass lead;
};

// Compile side. The first characters come from the instructions (every path
// that takes no text from the first one), the literal from the tree (the
// longest run of characters in the sequence of items every match goes
// through).
void FindFirstCharacters(RegexProgram* program);
void FindRequiredLiteral(const std::vector<RegexNode>& nodes, int root, RegexProgram* program);

// Search side: the positions of one text where a match may start, in increasing
// order. Positions it skips cannot start a match.
class RegexStartFinder {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;    // no match starts here or later
  static constexpr std::uint32_t kTooFar = 0xFFFFFFFEu;  // beyond kRegexMaxPosition

  RegexStartFinder(const RegexProgram& program, const WChar* text);

  // The first position from `from` on where a match may start. `from` is at
  // most the length of the text, and calls come with increasing `from`.
  std::uint32_t Next(std::uint32_t from);

 private:
  std::uint32_t NextAnchored(std::uint32_t from);
  std::uint32_t NextBeginning(std::size_t from, std::size_t last) const;
  std::size_t FindLiteral(std::size_t from, std::size_t last) const;
  bool LiteralAt(std::size_t pos) const;
  static std::uint32_t Position(std::size_t pos);

  const RegexProgram& program_;
  const RegexPrefilter& prefilter_;
  const WChar* const text_;
  // The occurrence of the literal the current candidates lead up to, and the
  // first candidate before it; occurrence_ is npos before the first search.
  std::size_t occurrence_ = static_cast<std::size_t>(-1);
  std::size_t lead_begin_ = 0;
};

}  // namespace ci
