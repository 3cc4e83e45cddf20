// AtlRE and the backtracking search it runs over a compiled program. The search
// never recurses: the alternatives still to try, the capture values to restore,
// the look-ahead barriers and the marks that end a look-ahead state's
// exploration live on one explicit stack.
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
//
// The body of a "!" asks only whether it can reach its end from a position, so
// its states are explored once too. Such a state is unknown, then being
// explored (it is on the way to the state being tried), then either known to
// fail (its exploration ended without reaching the end: a mark on the stack,
// popped when that happens, records it) or left visited when the body reached
// its end through it. Met again, a visited state that is not known to fail
// cannot be on the way to itself, so it reaches the end: the body matches.
//
// Back-references make outcomes depend on captures; such programs are
// backtracked plainly under a step budget, and so is the rest of a search whose
// visited states or pending alternatives outgrow their memory limits. Every
// search also counts its steps, so that no text or pattern makes it run long.
#include "ci/net/regex.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "ci/net/regex_program.h"

namespace ci {
namespace {

constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);
bool InMask(const std::uint64_t mask[2], WChar c) { return (mask[c >> 6] >> (c & 63)) & 1; }

// The positions of one text where a match may start, in increasing
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

RegexStartFinder::RegexStartFinder(const RegexProgram& program, const WChar* text)
    : program_(program), prefilter_(program.prefilter), text_(text) {}

std::uint32_t RegexStartFinder::Position(std::size_t pos) {
  return pos >= kRegexMaxPosition ? kTooFar : static_cast<std::uint32_t>(pos);
}

std::uint32_t RegexStartFinder::Next(std::uint32_t from) {
  if (program_.anchored) return from == 0 ? NextAnchored(from) : kNone;
  if (prefilter_.literal.empty()) return NextBeginning(from, kNoPosition);
  std::size_t pos = from;
  for (;;) {
    if (occurrence_ == kNoPosition || pos > occurrence_) {
      occurrence_ = FindLiteral(pos, kNoPosition);
      if (occurrence_ == kNoPosition) return kNone;
      // A match that contains this occurrence starts in the run of lead
      // characters before it; one that starts earlier would need an earlier
      // occurrence.
      lead_begin_ = occurrence_;
      while (lead_begin_ > pos && prefilter_.lead.Contains(RegexLower(text_[lead_begin_ - 1]))) {
        --lead_begin_;
      }
    }
    if (pos < lead_begin_) pos = lead_begin_;
    const std::uint32_t start = NextBeginning(pos, occurrence_);
    if (start != kNone) return start;
    pos = occurrence_ + 1;
  }
}

std::uint32_t RegexStartFinder::NextAnchored(std::uint32_t from) {
  if (!prefilter_.literal.empty()) {
    // The match takes only lead characters before the literal.
    std::size_t run = from;
    while (text_[run] != 0 && prefilter_.lead.Contains(RegexLower(text_[run]))) ++run;
    if (FindLiteral(from, run) == kNoPosition) return kNone;
  }
  return NextBeginning(from, from);
}

// The first position in [from, last] whose character can begin a match. The
// scans below copy what they test into locals, so that the compiler keeps them
// in registers.
std::uint32_t RegexStartFinder::NextBeginning(std::size_t from, std::size_t last) const {
  if (!prefilter_.has_first_set) return Position(from);
  const WChar* const text = text_;
  const std::uint64_t mask[2] = {prefilter_.first_any_case[0], prefilter_.first_any_case[1]};
  for (std::size_t pos = from; pos <= last; ++pos) {
    const WChar c = text[pos];
    if (c < 0x80) {
      if (InMask(mask, c)) return Position(pos);
      if (c == 0) return kNone;
    } else if (prefilter_.first.Contains(RegexLower(c))) {
      return Position(pos);
    }
  }
  return kNone;
}

// The first occurrence of the literal that starts in [from, last]. An ASCII
// character c can lower to the literal's first character only when c | 0x20
// equals that character | 0x20; that, the end of the text and characters
// beyond ASCII are the rare cases the loop looks at more closely.
std::size_t RegexStartFinder::FindLiteral(std::size_t from, std::size_t last) const {
  const WChar* const text = text_;
  const WChar head = prefilter_.literal[0];
  const WChar folded_head = static_cast<WChar>(head | 0x20);
  for (std::size_t pos = from; pos <= last; ++pos) {
    const WChar c = text[pos];
    if (static_cast<WChar>(c | 0x20) == folded_head || static_cast<WChar>(c - 1) >= 0x7F) {
      if (c == 0) return kNoPosition;
      if (RegexLower(c) == head && LiteralAt(pos)) return pos;
    }
  }
  return kNoPosition;
}

bool RegexStartFinder::LiteralAt(std::size_t pos) const {
  const WString& literal = prefilter_.literal;
  // The text's terminator differs from every pattern character.
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (RegexLower(text_[pos + i]) != literal[i]) return false;
  }
  return true;
}

constexpr std::uint32_t kUnset = 0xFFFFFFFFu;

// kFailed: the exploration of a look-ahead body state ended without a match.
enum FrameKind : std::uint32_t { kTry = 0, kRestore = 1, kBarrier = 2, kFailed = 3 };

// Eight bytes: the kind in the top two bits of `head`; for a restore the slot
// below it, for the other kinds the instruction and the loops that took no
// text yet (bit k: the loop at nesting level k).
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
  void Clear() { size_ = 0; }

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
  std::vector<std::uint64_t> spare_visited;  // what the ring grows into
  std::vector<std::uint32_t> slots;

  void ReleaseIfLarge() {
    // Up to 2 MiB of frames and twice 1 MiB of visited rows stay for the next
    // search.
    if (stack.size() > (std::size_t(1) << 18)) std::vector<Frame>().swap(stack);
    for (std::vector<std::uint64_t>* rows : {&visited, &spare_visited}) {
      if (rows->size() > (std::size_t(1) << 17)) std::vector<std::uint64_t>().swap(*rows);
    }
  }
};

// Bits of one position's row of visited states: a power of two up to a word,
// so that rows never straddle words, whole words beyond.
std::size_t RowBits(std::size_t states) {
  if (states > 64) return (states + 63) / 64 * 64;
  std::size_t bits = 1;
  while (bits < states) bits *= 2;
  return bits;
}

class Searcher {
 public:
  Searcher(const RegexProgram& program, const WChar* text, const RegexLimits& limits,
           bool use_visited, Scratch* scratch, RegexStartFinder* starts)
      : program_(program),
        insts_(program.insts.data()),
        text_(text),
        limits_(limits),
        starts_(*starts),
        use_visited_(use_visited),
        row_bits_(RowBits(program.states_per_position)),
        stack_(&scratch->stack),
        visited_(scratch->visited),
        spare_visited_(scratch->spare_visited),
        slots_(scratch->slots) {
    slots_.assign(3 * std::size_t(program.group_count), kUnset);
  }

  const RegexWork& work() const { return work_; }

  RegexOutcome Run(std::uint32_t start, RegexMatchSpan* span) {
    for (;;) {
      if (start == RegexStartFinder::kTooFar) return RegexOutcome::kLimitReached;
      start_ = start;
      Try result = TryAt(start);
      if (result == Try::kOutOfMemory && use_visited_) {
        // Every earlier start failed exactly; backtrack plainly from this one.
        SwitchToPlainSearch();
        result = TryAt(start);
      }
      if (result == Try::kFound) {
        Fill(start, span);
        return RegexOutcome::kMatch;
      }
      if (result != Try::kNotHere) return RegexOutcome::kLimitReached;
      if (program_.anchored || text_[start] == 0) return RegexOutcome::kNoMatch;
      start = starts_.Next(start + 1);
      if (start == RegexStartFinder::kNone) return RegexOutcome::kNoMatch;
    }
  }

 private:
  enum class Try { kFound, kNotHere, kOutOfSteps, kOutOfMemory };
  enum class Visit { kFirst, kAgain, kReachesItsEnd, kOverLimit };

  void SwitchToPlainSearch() {
    use_visited_ = false;
    stack_.Clear();
    std::fill(slots_.begin(), slots_.end(), kUnset);
  }

  std::size_t RowStart(std::uint32_t pos) const { return (pos & (ring_rows_ - 1)) * row_bits_; }

  // Marks the state visited. Positions before the current start are never
  // reached again, so the set keeps one row of states per position in a ring
  // covering the start to the furthest position reached; a row is cleared when
  // the search first gets that far.
  Visit VisitState(const RegexInst& inst, std::uint32_t pos, std::uint32_t empty_loops) {
    if (static_cast<std::int64_t>(pos) > furthest_ && !ReachRow(pos)) return Visit::kOverLimit;
    const std::uint32_t own = empty_loops & ((std::uint32_t(1) << inst.loops) - 1);
    const std::size_t bit = RowStart(pos) + inst.state_offset + own;
    std::uint64_t& word = visited_[bit >> 6];
    const std::uint64_t mask = std::uint64_t(1) << (bit & 63);
    if (!(word & mask)) {
      word |= mask;
      return Visit::kFirst;
    }
    if (!inst.in_look_ahead || TestBit(bit + (std::size_t(1) << inst.loops))) return Visit::kAgain;
    return Visit::kReachesItsEnd;
  }

  void MarkFailed(const Frame& frame) {
    const RegexInst& inst = insts_[frame.head & kPcMask];
    const std::uint32_t empty_loops = (frame.head & kIndexMask) >> kRegexInstructionBits;
    const std::uint32_t own = empty_loops & ((std::uint32_t(1) << inst.loops) - 1);
    const std::size_t bit =
        RowStart(frame.value) + inst.state_offset + (std::size_t(1) << inst.loops) + own;
    visited_[bit >> 6] |= std::uint64_t(1) << (bit & 63);
  }

  bool TestBit(std::size_t bit) const { return (visited_[bit >> 6] >> (bit & 63)) & 1; }

  bool ReachRow(std::uint32_t pos) {
    const std::size_t needed = std::size_t(pos) - start_ + 1;
    if (needed > ring_rows_ && !GrowRing(needed)) return false;
    std::int64_t from = furthest_ + 1;
    if (from < static_cast<std::int64_t>(start_)) from = start_;
    // Rows [from, pos], in at most two runs of the ring.
    std::size_t row = static_cast<std::size_t>(from) & (ring_rows_ - 1);
    std::size_t count = static_cast<std::size_t>(pos - from + 1);
    while (count > 0) {
      const std::size_t run = std::min(count, ring_rows_ - row);
      ClearBits(row * row_bits_, (row + run) * row_bits_);
      row = 0;
      count -= run;
    }
    furthest_ = pos;
    return true;
  }

  void ClearBits(std::size_t begin, std::size_t end) {
    const std::size_t first = begin >> 6, last = (end - 1) >> 6;
    const std::uint64_t head = ~std::uint64_t(0) << (begin & 63);
    const std::uint64_t tail = ~std::uint64_t(0) >> (63 - ((end - 1) & 63));
    if (first == last) {
      visited_[first] &= ~(head & tail);
      return;
    }
    visited_[first] &= ~head;
    std::fill(&visited_[first + 1], &visited_[last], 0);
    visited_[last] &= ~tail;
    work_.visited_steps += (last - first) / 8;
  }

  bool GrowRing(std::size_t needed) {
    // A small ring stays in the cache; it grows only for a try that reaches far.
    std::size_t rows = ring_rows_ ? ring_rows_ * 2 : std::max<std::size_t>(16, 64 / row_bits_);
    while (rows < needed) rows *= 2;
    if (rows * row_bits_ > limits_.max_visited_bits) return false;
    const std::size_t words = rows * row_bits_ / 64;
    if (ring_rows_ == 0) {  // reuses the thread's buffer; rows are cleared when reached
      if (visited_.size() < words) visited_.resize(words);
      ring_rows_ = rows;
      return true;
    }
    std::vector<std::uint64_t>& grown = spare_visited_;
    grown.assign(words, 0);
    for (std::int64_t pos = start_; pos <= furthest_; ++pos) {
      const std::size_t from = RowStart(static_cast<std::uint32_t>(pos));
      const std::size_t to = (static_cast<std::size_t>(pos) & (rows - 1)) * row_bits_;
      if (row_bits_ >= 64) {
        std::copy_n(&visited_[from >> 6], row_bits_ / 64, &grown[to >> 6]);
      } else {
        const std::uint64_t row =
            (visited_[from >> 6] >> (from & 63)) & ((std::uint64_t(1) << row_bits_) - 1);
        grown[to >> 6] |= row << (to & 63);
      }
    }
    work_.visited_steps += words / 8;
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

  Try TryAt(std::uint32_t start) {
    Push(kTry, 0, start, 0);
    while (!stack_.empty()) {
      const Frame frame = stack_.Pop();
      const std::uint32_t kind = frame.head >> 30;
      if (kind == kRestore) {
        slots_[frame.head & kIndexMask] = frame.value;
        continue;
      }
      if (kind == kFailed) {
        MarkFailed(frame);
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
          if (++work_.visited_steps > limits_.visited_step_budget) return Try::kOutOfSteps;
          const Visit visit = VisitState(inst, pos, empty_loops);
          if (visit != Visit::kFirst) {
            if (visit == Visit::kOverLimit) return Try::kOutOfMemory;
            if (visit == Visit::kReachesItsEnd) DropLookAhead();
            break;
          }
          if (inst.in_look_ahead) Push(kFailed, pc, pos, empty_loops);
        } else if (++work_.plain_steps > limits_.step_budget) {
          return Try::kOutOfSteps;
        }
        if (stack_.size() > limits_.max_stack_frames) return Try::kOutOfMemory;
        bool ok = true;
        switch (inst.op) {
          case RegexOp::kChar: {
            const WChar c = text_[pos];
            ok = c != 0 && RegexLower(c) == inst.arg;
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
            ok = c != 0 && program_.sets[inst.arg].Contains(RegexLower(c));
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
            if (work_.plain_steps > limits_.step_budget) return Try::kOutOfSteps;
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
            empty_loops = 0;  // the body checks only its own loops
            break;
          case RegexOp::kNotAheadEnd:
            DropLookAhead();
            ok = false;
            break;
          case RegexOp::kMatch:
            end_ = pos;
            return Try::kFound;
        }
        if (!ok) break;
      }
    }
    return Try::kNotHere;
  }

  // The body of the innermost negative look-ahead matched: unwinds to its
  // barrier, undoing what the body set and dropping its alternatives. The
  // body states still being explored reach the body's end, so they stay
  // visited without being marked as failed.
  void DropLookAhead() {
    while (!stack_.empty()) {
      const Frame frame = stack_.Pop();
      const std::uint32_t kind = frame.head >> 30;
      if (kind == kRestore) slots_[frame.head & kIndexMask] = frame.value;
      if (kind == kBarrier) return;
    }
  }

  // Compares the text group `group` last captured (empty if none) with the
  // text at *pos, ignoring case; advances *pos past it on success. Each
  // compared character is a step; the comparison fails when the budget ends.
  bool MatchBackReference(std::uint32_t group, std::uint32_t* pos) {
    const std::uint32_t begin = slots_[3 * group + 1];
    const std::uint32_t end = slots_[3 * group + 2];
    if (begin == kUnset || end == kUnset) return true;
    const std::uint32_t length = end - begin;
    if (length > kRegexMaxPosition - *pos) return false;
    for (std::uint32_t i = 0; i < length; ++i) {
      if (++work_.plain_steps > limits_.step_budget) return false;
      const WChar c = text_[*pos + i];
      if (c == 0 || RegexLower(c) != RegexLower(text_[begin + i])) return false;
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
  RegexStartFinder& starts_;
  bool use_visited_;
  const std::size_t row_bits_;
  std::size_t ring_rows_ = 0;   // a power of two
  std::uint32_t start_ = 0;     // start position of the current try
  std::int64_t furthest_ = -1;  // furthest position whose row is live
  FrameStack stack_;
  std::vector<std::uint64_t>& visited_;
  std::vector<std::uint64_t>& spare_visited_;
  std::vector<std::uint32_t>& slots_;
  RegexWork work_;
  std::uint32_t end_ = 0;
};

}  // namespace

RegexOutcome SearchRegex(const RegexProgram& program, const WChar* text, const RegexLimits& limits,
                         RegexStrategy strategy, RegexMatchSpan* span, RegexWork* work) {
  if (work != nullptr) *work = RegexWork();
  // Most texts that cannot match are told so here, before anything is set up.
  RegexStartFinder starts(program, text);
  const std::uint32_t first = starts.Next(0);
  if (first == RegexStartFinder::kNone) return RegexOutcome::kNoMatch;
  if (first == RegexStartFinder::kTooFar) return RegexOutcome::kLimitReached;
  thread_local Scratch scratch;
  const bool use_visited = strategy != RegexStrategy::kStepBudget && !program.needs_step_budget;
  RegexOutcome outcome;
  {
    Searcher searcher(program, text, limits, use_visited, &scratch, &starts);
    outcome = searcher.Run(first, span);
    if (work != nullptr) *work = searcher.work();
  }
  scratch.ReleaseIfLarge();
  return outcome;
}

AtlRE::AtlRE(const WChar* pattern, std::uint64_t step_budget) : step_budget_(step_budget) {
  std::unique_ptr<RegexProgram> program(new (std::nothrow) RegexProgram);
  if (!program) {
    error_ = kRegexOutOfMemory;
    return;
  }
  try {
    error_ = CompileRegex(pattern, program.get());
  } catch (const std::bad_alloc&) {
    error_ = kRegexOutOfMemory;
  }
  if (error_ == kRegexOk) program_ = std::move(program);
}

AtlRE::AtlRE(const WString& pattern, std::uint64_t step_budget)
    : AtlRE(pattern.c_str(), step_budget) {}

AtlRE::~AtlRE() = default;

int AtlRE::group_count() const { return program_ ? program_->group_count : 0; }

bool AtlRE::has_back_references() const {
  if (!program_) return false;
  for (const RegexInst& inst : program_->insts) {
    if (inst.op == RegexOp::kBackRef) return true;
  }
  return false;
}

bool AtlRE::Match(const WChar* text, WString* groups, int group_count, const WChar** next) const {
  if (text == nullptr || !program_ || group_count < 0 || group_count > program_->group_count) {
    return false;
  }
  if (group_count > 0 && groups == nullptr) return false;
  RegexLimits limits;
  limits.step_budget = step_budget_;
  limits.visited_step_budget = step_budget_ <= UINT64_MAX / kVisitedStepsPerStep
                                   ? step_budget_ * kVisitedStepsPerStep
                                   : UINT64_MAX;
  RegexMatchSpan span;
  // Captured texts go to the caller's strings only when the whole call worked.
  WString few[4];
  std::vector<WString> many;
  WString* captured = few;
  try {  // no memory for the search or the captured texts: no match
    if (group_count > 4) {
      many.resize(static_cast<std::size_t>(group_count));
      captured = many.data();
    }
    if (SearchRegex(*program_, text, limits, RegexStrategy::kAuto, &span) != RegexOutcome::kMatch) {
      return false;
    }
    for (int g = 0; g < group_count; ++g) {
      const std::int64_t begin = span.groups[2 * g];
      if (begin >= 0) {
        captured[g].assign(text + begin, static_cast<std::size_t>(span.groups[2 * g + 1] - begin));
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int g = 0; g < group_count; ++g) groups[g].swap(captured[g]);
  if (next != nullptr) {
    // An empty match moves the walk on by one character, so a walk always ends.
    std::size_t after = span.end;
    if (span.end == span.begin && text[after] != 0) ++after;
    *next = text[after] == 0 ? nullptr : text + after;
  }
  return true;
}

}  // namespace ci
