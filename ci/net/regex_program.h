// The compiled form of a regular expression and the two operations on it:
// compiling a pattern (regex_program.cc) and searching a text (regex.cc).
// Internal to ci/net (the tests, the fuzz target and the benchmark use it to
// compare strategies and read the work done); AtlRE is the public face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "ci/base/wide_string.h"

namespace ci {

enum class RegexOp : std::uint8_t {
  kChar,         // arg: the (lower-case) character
  kAny,          // any one character
  kSet,          // arg: index into RegexProgram::sets
  kSplit,        // try `arg` first, then `alt`
  kJmp,          // arg: next instruction
  kGroupOpen,    // arg: group; remembers where it starts
  kGroupClose,   // arg: group; commits its text
  kBackRef,      // arg: group
  kEnd,          // end of the text
  kLoopMark,     // arg: loop level; an iteration starts, no text taken yet
  kLoopCheck,    // arg: loop level; fails when the iteration took no text
  kNotAhead,     // body follows; arg: instruction after the body
  kNotAheadEnd,  // the body of the innermost kNotAhead matched
  kMatch,
};

// The search state at an instruction is (instruction, position, for each loop
// around it whether its current iteration has taken no text yet). `loops` is
// the number of loops around the instruction; `state_offset` numbers its
// 2^loops states within one text position. An instruction inside the body of
// a "!" (up to and including its kNotAheadEnd) has 2^loops further slots after
// those: whether the state is known to fail its body.
struct RegexInst {
  RegexOp op;
  std::uint8_t loops = 0;
  bool in_look_ahead = false;
  std::uint32_t arg = 0;
  std::uint32_t alt = 0;
  std::uint32_t state_offset = 0;
};

// Loops may nest this deep (one flag each in the search state), and a program
// has fewer instructions than 2^kRegexInstructionBits.
constexpr int kRegexMaxLoopNesting = 12;
constexpr int kRegexInstructionBits = 18;
// Text positions are 32-bit; a match cannot start beyond this one.
constexpr std::uint32_t kRegexMaxPosition = 0x7FFFFFF0u;

struct RegexCharSet {
  bool negated = false;
  std::uint64_t ascii[2] = {0, 0};              // characters below 0x80, negation applied
  std::vector<std::pair<WChar, WChar>> ranges;  // characters from 0x80 on

  bool Contains(WChar c) const {
    if (c < 0x80) return (ascii[c >> 6] >> (c & 63)) & 1;
    for (const auto& r : ranges) {
      if (c >= r.first && c <= r.second) return !negated;
    }
    return negated;
  }
};

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

// Where a match can start, known before any search: the characters that can
// begin a match, and a literal that every match contains together with the
// characters that can stand before it in a match. Both are found when a
// pattern is compiled; the search asks for the next position worth trying, so
// that text which cannot start a match costs no search at all and a text
// without the literal costs one scan.
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

struct RegexProgram {
  std::vector<RegexInst> insts;
  std::vector<RegexCharSet> sets;
  int group_count = 0;
  bool anchored = false;
  // Search states per text position (the sum over instructions of 2^loops,
  // twice that inside a "!").
  std::size_t states_per_position = 0;
  // Back-references make results depend on more than the search state (or
  // the loops nest too deep to count states), so the search is bounded by
  // steps instead of visited states.
  bool needs_step_budget = false;
  // Where a match can start.
  RegexPrefilter prefilter;
};

// Compiles `pattern` (zero-terminated, may be null). Returns 0 and fills
// `program`, or one of the RegexError codes.
int CompileRegex(const WChar* pattern, RegexProgram* program);

// How a search bounds its work.
enum class RegexStrategy {
  kAuto,          // visited pairs when the program allows it, else the step budget
  kVisitedPairs,  // each search state explored once; programs that need the
                  // step budget get it anyway, and so does the rest of a search
                  // whose visited states or pending alternatives outgrow their
                  // memory limits
  kStepBudget,    // plain backtracking, at most `step_budget` steps
};

// A search with visited states never repeats work, so a long text can need
// many of its steps without anything going wrong: an AtlRE allows it this many
// per step of its budget.
constexpr std::uint64_t kVisitedStepsPerStep = 4;

struct RegexLimits {
  // Plain backtracking: one step per instruction and per character a
  // back-reference compares.
  std::uint64_t step_budget = 1000000;
  // The search with visited states: one step per instruction, and one per
  // eight words of visited-state memory it clears or copies.
  std::uint64_t visited_step_budget = 1000000 * kVisitedStepsPerStep;
  std::size_t max_visited_bits = std::size_t(1) << 27;
  std::size_t max_stack_frames = std::size_t(1) << 22;
};

enum class RegexOutcome { kMatch, kNoMatch, kLimitReached };

struct RegexMatchSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  // Per group: begin and end offsets into the text, -1 when it took no part.
  std::vector<std::int64_t> groups;
};

// What a search did, in the units of its limits.
struct RegexWork {
  std::uint64_t visited_steps = 0;
  std::uint64_t plain_steps = 0;
};

// Finds the first match of `program` in `text` (zero-terminated, not null).
// `work`, when given, receives what the search did, whatever its outcome.
RegexOutcome SearchRegex(const RegexProgram& program, const WChar* text, const RegexLimits& limits,
                         RegexStrategy strategy, RegexMatchSpan* span, RegexWork* work = nullptr);

}  // namespace ci
