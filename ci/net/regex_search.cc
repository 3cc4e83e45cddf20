// The backtracking search. It never recurses: the alternatives still to try,
// the capture values to restore and the look-ahead barriers live on one
// explicit stack.
//
// A search state is (instruction, position, for each loop around the
// instruction whether its current iteration has taken no text yet); the last
// part decides whether an iteration may end, since one that took no text fails.
// Within one position no state can reach itself again, so the states form an
// acyclic graph and, without back-references, the outcome of a state depends
// on nothing else. Exploring each state once therefore finds exactly the match
// plain backtracking finds, and a start position whose search failed leaves
// only failed states behind, so the visited set is kept across start positions:
// the whole search costs at most text length times states per position.
// Back-references and look-aheads make outcomes depend on captures; such
// programs are backtracked plainly under a step budget.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ci/base/string_utils.h"
#include "ci/net/regex_program.h"

namespace ci {
namespace {

constexpr std::uint32_t kUnset = 0xFFFFFFFFu;
// Positions are 32-bit; a longer text ends the search as over limit.
constexpr std::uint32_t kMaxPosition = 0x7FFFFFF0u;

inline WChar Lower(WChar c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<WChar>(c + 32) : c;
  return ToLowerChar(c);
}

enum FrameKind : std::uint32_t { kTry = 0, kRestore = 1, kBarrier = 2 };

struct Frame {
  std::uint32_t kind_index;  // kind in the top two bits
  std::uint32_t value;       // position, or the value to restore
  std::uint32_t empty_loops; // bit k: the loop at nesting level k took no text yet
};

// Buffers reused by the searches of one thread.
struct Scratch {
  std::vector<Frame> stack;
  std::vector<std::uint64_t> visited;
  std::vector<std::uint32_t> slots;

  void ReleaseIfLarge() {
    if (stack.capacity() > (std::size_t(1) << 16)) std::vector<Frame>().swap(stack);
    if (visited.capacity() > (std::size_t(1) << 14)) std::vector<std::uint64_t>().swap(visited);
  }
};

class Searcher {
 public:
  Searcher(const RegexProgram& program, const WChar* text, const RegexLimits& limits,
           bool use_visited, Scratch* scratch)
      : program_(program),
        insts_(program.insts.data()),
        text_(text),
        limits_(limits),
        use_visited_(use_visited),
        width_(program.states_per_position),
        stack_(scratch->stack),
        visited_(scratch->visited),
        slots_(scratch->slots) {
    stack_.clear();
    visited_.clear();
    slots_.assign(3 * std::size_t(program.group_count), kUnset);
  }

  RegexOutcome Run(RegexMatchSpan* span) {
    for (std::uint32_t start = 0;; ++start) {
      if (program_.has_first_set) {
        // Skip positions whose character cannot begin a match (such a program
        // never matches empty text, so the end of the text ends the search).
        for (;;) {
          const WChar c = text_[start];
          if (c == 0) return RegexOutcome::kNoMatch;
          if (program_.CanBegin(Lower(c))) break;
          if (program_.anchored) return RegexOutcome::kNoMatch;
          if (++start >= kMaxPosition) return RegexOutcome::kLimitReached;
        }
      }
      const int result = TryAt(start);
      if (result > 0) {
        Fill(start, span);
        return RegexOutcome::kMatch;
      }
      if (result < 0) return RegexOutcome::kLimitReached;
      if (program_.anchored || text_[start] == 0) return RegexOutcome::kNoMatch;
      if (start + 1 >= kMaxPosition) return RegexOutcome::kLimitReached;
    }
  }

 private:
  // Marks the state visited; false when it was already, or when the bitmap
  // would outgrow its limit (then `over_limit_` is set).
  bool FirstVisit(const RegexInst& inst, std::uint32_t pos, std::uint32_t empty_loops) {
    const std::uint32_t own = empty_loops & ((std::uint32_t(1) << inst.loops) - 1);
    const std::size_t bit = std::size_t(pos) * width_ + inst.state_offset + own;
    const std::size_t word = bit >> 6;
    if (word >= visited_.size()) {
      std::size_t words = visited_.size() * 2;
      if (words < word + 1) words = word + 1;
      if (words < 64) words = 64;
      const std::size_t limit_words = limits_.max_visited_bits / 64 + 1;
      if (words > limit_words) words = limit_words;
      if (word >= words) {
        over_limit_ = true;
        return false;
      }
      visited_.resize(words, 0);
    }
    const std::uint64_t mask = std::uint64_t(1) << (bit & 63);
    if (visited_[word] & mask) return false;
    visited_[word] |= mask;
    return true;
  }

  void Push(FrameKind kind, std::uint32_t index, std::uint32_t value, std::uint32_t empty_loops) {
    stack_.push_back(Frame{(static_cast<std::uint32_t>(kind) << 30) | index, value, empty_loops});
  }

  void SetSlot(std::uint32_t slot, std::uint32_t value) {
    Push(kRestore, slot, slots_[slot], 0);
    slots_[slot] = value;
  }

  // 1: match (end_ set), 0: no match from `start`, -1: a limit was reached.
  int TryAt(std::uint32_t start) {
    Push(kTry, 0, start, 0);
    while (!stack_.empty()) {
      const Frame frame = stack_.back();
      stack_.pop_back();
      const std::uint32_t kind = frame.kind_index >> 30;
      const std::uint32_t index = frame.kind_index & 0x3FFFFFFFu;
      if (kind == kRestore) {
        slots_[index] = frame.value;
        continue;
      }
      // A try, or a barrier reached by backtracking: the body of its negative
      // look-ahead found no match, so the look-ahead holds.
      std::uint32_t pc = index;
      std::uint32_t pos = frame.value;
      std::uint32_t empty_loops = frame.empty_loops;
      for (;;) {
        const RegexInst& inst = insts_[pc];
        if (use_visited_) {
          if (!FirstVisit(inst, pos, empty_loops)) {
            if (over_limit_) return -1;
            break;
          }
        } else if (++steps_ > limits_.step_budget) {
          return -1;
        }
        if (stack_.size() > limits_.max_stack_frames) return -1;
        bool ok = true;
        switch (inst.op) {
          case RegexOp::kChar: {
            const WChar c = text_[pos];
            ok = c != 0 && Lower(c) == inst.arg;
            ++pos;
            ++pc;
            empty_loops = 0;
            break;
          }
          case RegexOp::kAny:
            ok = text_[pos] != 0;
            ++pos;
            ++pc;
            empty_loops = 0;
            break;
          case RegexOp::kSet: {
            const WChar c = text_[pos];
            ok = c != 0 && program_.sets[inst.arg].Contains(Lower(c));
            ++pos;
            ++pc;
            empty_loops = 0;
            break;
          }
          case RegexOp::kSplit:
            Push(kTry, inst.alt, pos, empty_loops);
            pc = inst.arg;
            break;
          case RegexOp::kJmp:
            pc = inst.arg;
            break;
          case RegexOp::kGroupOpen:
            SetSlot(3 * inst.arg, pos);
            ++pc;
            break;
          case RegexOp::kGroupClose:
            SetSlot(3 * inst.arg + 1, slots_[3 * inst.arg]);
            SetSlot(3 * inst.arg + 2, pos);
            ++pc;
            break;
          case RegexOp::kBackRef: {
            const std::uint32_t before = pos;
            ok = MatchBackReference(inst.arg, &pos);
            if (pos != before) empty_loops = 0;
            ++pc;
            break;
          }
          case RegexOp::kEnd:
            ok = text_[pos] == 0;
            ++pc;
            break;
          case RegexOp::kLoopMark:
            empty_loops |= std::uint32_t(1) << inst.arg;
            ++pc;
            break;
          case RegexOp::kLoopCheck:
            ok = !(empty_loops & (std::uint32_t(1) << inst.arg));
            ++pc;
            break;
          case RegexOp::kNotAhead:
            Push(kBarrier, inst.arg, pos, empty_loops);
            ++pc;
            break;
          case RegexOp::kNotAheadEnd:
            DropLookAhead();
            ok = false;
            break;
          case RegexOp::kMatch:
            end_ = pos;
            return 1;
        }
        if (!ok) break;
      }
    }
    return 0;
  }

  // The body of the innermost negative look-ahead matched: unwinds to its
  // barrier, undoing what the body set and dropping its alternatives.
  void DropLookAhead() {
    while (!stack_.empty()) {
      const Frame frame = stack_.back();
      stack_.pop_back();
      const std::uint32_t kind = frame.kind_index >> 30;
      if (kind == kRestore) slots_[frame.kind_index & 0x3FFFFFFFu] = frame.value;
      if (kind == kBarrier) return;
    }
  }

  // Compares the text group `group` last captured (empty if none) with the
  // text at *pos, ignoring case; advances *pos past it on success.
  bool MatchBackReference(std::uint32_t group, std::uint32_t* pos) {
    const std::uint32_t begin = slots_[3 * group + 1];
    const std::uint32_t end = slots_[3 * group + 2];
    if (begin == kUnset || end == kUnset) return true;
    const std::uint32_t length = end - begin;
    if (length > kMaxPosition - *pos) return false;
    for (std::uint32_t i = 0; i < length; ++i) {
      const WChar c = text_[*pos + i];
      if (c == 0 || Lower(c) != Lower(text_[begin + i])) return false;
    }
    *pos += length;
    return true;
  }

  void Fill(std::uint32_t start, RegexMatchSpan* span) const {
    span->begin = start;
    span->end = end_;
    span->groups.assign(2 * std::size_t(program_.group_count), -1);
    for (int g = 0; g < program_.group_count; ++g) {
      const std::uint32_t begin = slots_[3 * g + 1];
      const std::uint32_t end = slots_[3 * g + 2];
      if (begin == kUnset || end == kUnset) continue;
      span->groups[2 * g] = begin;
      span->groups[2 * g + 1] = end;
    }
  }

  const RegexProgram& program_;
  const RegexInst* insts_;
  const WChar* text_;
  const RegexLimits& limits_;
  const bool use_visited_;
  const std::size_t width_;
  std::vector<Frame>& stack_;
  std::vector<std::uint64_t>& visited_;
  std::vector<std::uint32_t>& slots_;
  std::uint64_t steps_ = 0;
  bool over_limit_ = false;
  std::uint32_t end_ = 0;
};

}  // namespace

RegexOutcome SearchRegex(const RegexProgram& program, const WChar* text,
                         const RegexLimits& limits, RegexStrategy strategy,
                         RegexMatchSpan* span) {
  thread_local Scratch scratch;
  const bool use_visited = strategy != RegexStrategy::kStepBudget && !program.needs_step_budget;
  RegexOutcome outcome;
  {
    Searcher searcher(program, text, limits, use_visited, &scratch);
    outcome = searcher.Run(span);
  }
  scratch.ReleaseIfLarge();
  return outcome;
}

}  // namespace ci
