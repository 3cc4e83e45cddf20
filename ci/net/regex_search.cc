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
#include <algorithm>
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

// Eight bytes: the kind in the top two bits of `head`; for a try or a barrier
// the instruction and the loops that took no text yet (bit k: the loop at
// nesting level k) below it, for a restore the slot.
struct Frame {
  std::uint32_t head;
  std::uint32_t value;  // position, or the value to restore
};
constexpr std::uint32_t kIndexMask = (std::uint32_t(1) << 30) - 1;
constexpr std::uint32_t kPcMask = (std::uint32_t(1) << kRegexInstructionBits) - 1;
static_assert(kRegexInstructionBits + kRegexMaxLoopNesting <= 30, "frame head too small");

// The explicit stack over a vector whose size is its capacity, so that a push
// is one compare and one store.
class FrameStack {
 public:
  explicit FrameStack(std::vector<Frame>* storage) : storage_(storage) {
    if (storage_->size() < 256) storage_->resize(256);
    data_ = storage_->data();
    capacity_ = storage_->size();
  }
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  void Push(Frame frame) {
    if (size_ == capacity_) Grow();
    data_[size_++] = frame;
  }
  Frame Pop() { return data_[--size_]; }

 private:
  void Grow() {
    storage_->resize(capacity_ * 2);
    data_ = storage_->data();
    capacity_ = storage_->size();
  }

  std::vector<Frame>* storage_;
  Frame* data_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

// Buffers reused by the searches of one thread.
struct Scratch {
  std::vector<Frame> stack;
  std::vector<std::uint64_t> visited;
  std::vector<std::uint32_t> slots;

  void ReleaseIfLarge() {
    // Up to 2 MiB of frames and 1 MiB of visited rows stay for the next search.
    if (stack.size() > (std::size_t(1) << 18)) std::vector<Frame>().swap(stack);
    if (visited.size() > (std::size_t(1) << 17)) std::vector<std::uint64_t>().swap(visited);
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
        row_words_((program.states_per_position + 63) / 64),
        row_bits_(row_words_ * 64),
        stack_(&scratch->stack),
        visited_(scratch->visited),
        slots_(scratch->slots) {
    slots_.assign(3 * std::size_t(program.group_count), kUnset);
  }

  RegexOutcome Run(RegexMatchSpan* span) {
    for (std::uint32_t start = 0;; ++start) {
      if (program_.has_first_set) {
        // Skip positions whose character cannot begin a match (such a program
        // never matches empty text, so the end of the text ends the search).
        const std::uint64_t* any_case = program_.first_ascii_any_case;
        for (;;) {
          const WChar c = text_[start];
          if (c < 0x80) {
            if ((any_case[c >> 6] >> (c & 63)) & 1) break;
            if (c == 0) return RegexOutcome::kNoMatch;
          } else if (program_.CanBegin(Lower(c))) {
            break;
          }
          if (program_.anchored) return RegexOutcome::kNoMatch;
          if (++start >= kMaxPosition) return RegexOutcome::kLimitReached;
        }
      }
      start_ = start;
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
  // Marks the state visited; false when it was already, or when the visited
  // set would outgrow its limit (then `over_limit_` is set). Positions before
  // the current start are never reached again, so the set keeps one row of
  // states per position in a ring covering the start to the furthest position
  // reached; a row is cleared when the search first gets that far.
  bool FirstVisit(const RegexInst& inst, std::uint32_t pos, std::uint32_t empty_loops) {
    if (static_cast<std::int64_t>(pos) > furthest_ && !ReachRow(pos)) {
      over_limit_ = true;
      return false;
    }
    const std::uint32_t own = empty_loops & ((std::uint32_t(1) << inst.loops) - 1);
    const std::size_t bit = (pos & (ring_rows_ - 1)) * row_bits_ + inst.state_offset + own;
    std::uint64_t& word = visited_[bit >> 6];
    const std::uint64_t mask = std::uint64_t(1) << (bit & 63);
    if (word & mask) return false;
    word |= mask;
    return true;
  }

  bool ReachRow(std::uint32_t pos) {
    const std::size_t needed = std::size_t(pos) - start_ + 1;
    if (needed > ring_rows_ && !GrowRing(needed)) return false;
    std::int64_t from = furthest_ + 1;
    if (from < static_cast<std::int64_t>(start_)) from = start_;
    for (std::int64_t row = from; row <= static_cast<std::int64_t>(pos); ++row) {
      std::uint64_t* words = &visited_[(row & (ring_rows_ - 1)) * row_words_];
      std::fill(words, words + row_words_, 0);
    }
    furthest_ = pos;
    return true;
  }

  bool GrowRing(std::size_t needed) {
    // A small ring stays in the cache; it grows only for a try that reaches far.
    std::size_t rows = ring_rows_ ? ring_rows_ * 2 : 16;
    while (rows < needed) rows *= 2;
    if (rows * row_bits_ > limits_.max_visited_bits) return false;
    if (ring_rows_ == 0) {  // reuses the thread's buffer; rows are cleared when reached
      if (visited_.size() < rows * row_words_) visited_.resize(rows * row_words_);
      ring_rows_ = rows;
      return true;
    }
    std::vector<std::uint64_t> grown(rows * row_words_);
    for (std::int64_t row = start_; row <= furthest_; ++row) {
      std::copy_n(&visited_[(row & (ring_rows_ - 1)) * row_words_], row_words_,
                  &grown[(row & (rows - 1)) * row_words_]);
    }
    visited_.swap(grown);
    ring_rows_ = rows;
    return true;
  }

  void Push(FrameKind kind, std::uint32_t pc, std::uint32_t pos, std::uint32_t empty_loops) {
    stack_.Push(Frame{
        (static_cast<std::uint32_t>(kind) << 30) | (empty_loops << kRegexInstructionBits) | pc,
        pos});
  }

  void SetSlot(std::uint32_t slot, std::uint32_t value) {
    stack_.Push(Frame{(static_cast<std::uint32_t>(kRestore) << 30) | slot, slots_[slot]});
    slots_[slot] = value;
  }

  // 1: match (end_ set), 0: no match from `start`, -1: a limit was reached.
  int TryAt(std::uint32_t start) {
    Push(kTry, 0, start, 0);
    while (!stack_.empty()) {
      const Frame frame = stack_.Pop();
      const std::uint32_t kind = frame.head >> 30;
      if (kind == kRestore) {
        slots_[frame.head & kIndexMask] = frame.value;
        continue;
      }
      // A try, or a barrier reached by backtracking: the body of its negative
      // look-ahead found no match, so the look-ahead holds.
      std::uint32_t pc = frame.head & kPcMask;
      std::uint32_t pos = frame.value;
      std::uint32_t empty_loops = (frame.head & kIndexMask) >> kRegexInstructionBits;
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
      const Frame frame = stack_.Pop();
      const std::uint32_t kind = frame.head >> 30;
      if (kind == kRestore) slots_[frame.head & kIndexMask] = frame.value;
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
  const std::size_t row_words_;
  const std::size_t row_bits_;
  std::size_t ring_rows_ = 0;   // a power of two
  std::uint32_t start_ = 0;     // start position of the current try
  std::int64_t furthest_ = -1;  // furthest position whose row is live
  FrameStack stack_;
  std::vector<std::uint64_t>& visited_;
  std::vector<std::uint32_t>& slots_;
  std::uint64_t steps_ = 0;
  bool over_limit_ = false;
  std::uint32_t end_ = 0;
};

}  // namespace

RegexOutcome SearchRegex(const RegexProgram& program, const WChar* text, const RegexLimits& limits,
                         RegexStrategy strategy, RegexMatchSpan* span) {
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
