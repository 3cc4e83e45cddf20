// Regular expressions over wide text: the matching interface and its one
// implementation, a small case-insensitive engine whose running time is bounded
// whatever pattern and text it is given.
//
// Pattern syntax (all characters are UTF-16 code units):
//   ^  first character: the match starts at the beginning of the text
//   $  last character: end of the text; elsewhere a literal dollar sign
//   .  any one character          [..] [^..]  set, with a-z ranges
//   (x)  grouping                 {x}  match group, numbered from 0 by its brace
//   x|y  alternation              x* x+ x?  greedy; x*? x+? x?? lazy
//   \0..\9  the text captured by that match group again
//   \a \b \c \d \h \n \q \w \z  abbreviations (letter or digit, blank, letter,
//       digit, hex digit, line end, quoted text, word, unsigned integer)
//   \ and any other character: that character literally
//   !x  negative look-ahead: matches the empty text at a position where x does
//       not match there (captures made inside x are dropped). x is the one
//       following item with its repetition: "!ab" is "(!a)b", "!a*" is "!(a*)".
//       A "!" with no item after it is a literal exclamation mark.
//
// Matching ignores letter case: the pattern is lower-cased when compiled and the
// text is compared lower-cased; captured text keeps the case of the text.
//
// Results are those of a leftmost-first backtracking search (first start
// position, then alternatives left to right, greedy/lazy priority; a group in a
// repetition keeps the text of the last iteration that set it; an iteration of
// * or + beyond the minimum (any for *, all but the first for +) that takes no
// text fails and is backed out with its captures, while the one iteration of ?
// may take no text: "{a*}?b" on "b" captures empty text where "({a*})*b"
// captures nothing). The search never recurses, and without back-references it
// never repeats work: each search state (instruction, text position, which
// enclosing loop iterations took no text yet) is explored at most once per
// Match, the states inside a "!" included, so time is bounded by text length
// times pattern size. Text that cannot start a match (it lacks a literal every
// match contains, or a character a match can begin with) costs no search.
// Patterns with back-references, and searches whose memory for visited states
// (2^27 bits) or pending alternatives (2^22) would be exceeded, are backtracked
// plainly from where they are. Every search counts its steps against the
// expression's budget and reports no match when that runs out, the one case in
// which a match can be missed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ci/base/wide_string.h"

namespace ci {

class RE {
 public:
  // Searches `text` (zero-terminated) for the first match. Fails on null text,
  // when there is no match, or when the expression has fewer than `group_count`
  // match groups (a negative count fails too). On success groups[0] to
  // groups[group_count - 1] receive the captured texts (empty for a group that
  // took no part) and, when `next` is given, *next points just after the match,
  // or is null when that is at or past the end of `text`. Calling again with
  // `text` = *next walks every match; a null `text` ends the walk.
  virtual bool Match(const WChar* text, WString* groups, int group_count,
                     const WChar** next) const = 0;

 protected:
  RE() = default;
  ~RE() = default;  // not deleted through the interface
};

// Compile errors kept by an AtlRE.
enum RegexError : int {
  kRegexOk = 0,
  kRegexOutOfMemory = 1,
  kRegexBraceExpected = 2,
  kRegexParenExpected = 3,
  kRegexBracketExpected = 4,
  kRegexEmptySet = 6,
  kRegexBadBackReference = 7,
  kRegexEmptyRepeat = 9,
  kRegexNoPattern = 10,
};

struct RegexProgram;

class AtlRE final : public RE {
 public:
  // Steps one Match may take: plain backtracking this many (one per
  // instruction and per character a back-reference compares), the search with
  // visited states four times as many. With the default no Match on a text of
  // 100,000 characters takes more than a few tens of milliseconds.
  static constexpr std::uint64_t kDefaultStepBudget = 1000000;

  // Compiles `pattern` (zero-terminated; null is "no pattern"). Never throws: a
  // bad pattern leaves its error code, and such an expression matches nothing.
  explicit AtlRE(const WChar* pattern, std::uint64_t step_budget = kDefaultStepBudget);
  explicit AtlRE(const WString& pattern, std::uint64_t step_budget = kDefaultStepBudget);
  ~AtlRE();
  AtlRE(const AtlRE&) = delete;
  AtlRE& operator=(const AtlRE&) = delete;

  bool Match(const WChar* text, WString* groups, int group_count,
             const WChar** next) const override;

  // 0 when the pattern compiled, otherwise a RegexError.
  int error() const { return error_; }
  // Number of match groups ({...}) in the pattern.
  int group_count() const;
  bool has_back_references() const;

 private:
  int error_ = kRegexNoPattern;
  std::uint64_t step_budget_;
  std::unique_ptr<const RegexProgram> program_;
};

}  // namespace ci
