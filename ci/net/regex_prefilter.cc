#include "ci/net/regex_prefilter.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ci/net/regex_program.h"

namespace ci {
namespace {

constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);
// A longer run of characters is cut to this many: checking an occurrence
// costs up to its length at each candidate position.
constexpr std::size_t kMaxLiteral = 32;

bool InMask(const std::uint64_t mask[2], WChar c) { return (mask[c >> 6] >> (c & 63)) & 1; }
void AddToMask(std::uint64_t mask[2], unsigned c) { mask[c >> 6] |= std::uint64_t(1) << (c & 63); }

void AddSet(const RegexCharSet& set, RegexCharClass* characters) {
  characters->ascii[0] |= set.ascii[0];
  characters->ascii[1] |= set.ascii[1];
  characters->beyond_ascii = characters->beyond_ascii || set.negated || !set.ranges.empty();
}

// The items every match goes through, in order: the tree's top-level sequence
// with groups opened (what a group captures does not change what it matches).
std::vector<int> SequenceItems(const std::vector<RegexNode>& nodes, int root) {
  std::vector<int> items;
  std::vector<int> pending = {root};
  while (!pending.empty()) {
    const int index = pending.back();
    pending.pop_back();
    const RegexNode& node = nodes[index];
    if (node.kind == RegexNode::kConcat) {
      for (auto kid = node.kids.rbegin(); kid != node.kids.rend(); ++kid) pending.push_back(*kid);
    } else if (node.kind == RegexNode::kGroup) {
      pending.push_back(node.kids[0]);
    } else {
      items.push_back(index);
    }
  }
  return items;
}

// Adds the (lowered) characters the subtree at `index` can take.
void AddAlphabet(const std::vector<RegexNode>& nodes, int index,
                 const std::vector<RegexCharSet>& sets, RegexCharClass* alphabet) {
  std::vector<int> pending = {index};
  while (!pending.empty()) {
    const RegexNode& node = nodes[pending.back()];
    pending.pop_back();
    switch (node.kind) {
      case RegexNode::kEmpty:
      case RegexNode::kEnd:
      case RegexNode::kNotAhead:  // looks, takes nothing
        break;
      case RegexNode::kChar:
        alphabet->Add(static_cast<WChar>(node.value));
        break;
      case RegexNode::kAny:
      case RegexNode::kBackRef:
        alphabet->AddAll();
        break;
      case RegexNode::kSet:
        AddSet(sets[node.value], alphabet);
        break;
      case RegexNode::kConcat:
      case RegexNode::kAlt:
      case RegexNode::kGroup:
      case RegexNode::kRepeat:
        pending.insert(pending.end(), node.kids.begin(), node.kids.end());
        break;
    }
  }
}

}  // namespace

void FindFirstCharacters(RegexProgram* program) {
  RegexPrefilter& prefilter = program->prefilter;
  std::vector<bool> seen(program->insts.size(), false);
  std::vector<std::uint32_t> work = {0};
  RegexCharClass first;
  while (!work.empty()) {
    const std::uint32_t pc = work.back();
    work.pop_back();
    if (seen[pc]) continue;
    seen[pc] = true;
    const RegexInst& inst = program->insts[pc];
    switch (inst.op) {
      case RegexOp::kChar:
        first.Add(static_cast<WChar>(inst.arg));
        break;
      case RegexOp::kSet:
        AddSet(program->sets[inst.arg], &first);
        break;
      case RegexOp::kSplit:
        work.push_back(inst.arg);
        work.push_back(inst.alt);
        break;
      case RegexOp::kJmp:
        work.push_back(inst.arg);
        break;
      case RegexOp::kGroupOpen:
      case RegexOp::kGroupClose:
      case RegexOp::kLoopMark:
      case RegexOp::kLoopCheck:
        work.push_back(pc + 1);
        break;
      default:  // any character, end, back-reference, look-ahead, match
        prefilter.has_first_set = false;
        return;
    }
  }
  prefilter.has_first_set = true;
  prefilter.first = first;
  for (unsigned c = 0; c < 0x80; ++c) {
    if (first.Contains(RegexLower(static_cast<WChar>(c)))) AddToMask(prefilter.first_any_case, c);
  }
}

void FindRequiredLiteral(const std::vector<RegexNode>& nodes, int root, RegexProgram* program) {
  RegexPrefilter& prefilter = program->prefilter;
  const std::vector<int> items = SequenceItems(nodes, root);
  std::size_t best_begin = 0, best_length = 0;
  for (std::size_t i = 0; i < items.size();) {
    std::size_t length = 0;
    while (i + length < items.size() && nodes[items[i + length]].kind == RegexNode::kChar) ++length;
    if (length > best_length) {
      best_begin = i;
      best_length = length;
    }
    i += length > 0 ? length : 1;
  }
  if (best_length == 0) return;
  if (best_length > kMaxLiteral) best_length = kMaxLiteral;
  for (std::size_t i = 0; i < best_length; ++i) {
    prefilter.literal += static_cast<WChar>(nodes[items[best_begin + i]].value);
  }
  for (std::size_t i = 0; i < best_begin; ++i) {
    AddAlphabet(nodes, items[i], program->sets, &prefilter.lead);
  }
}

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

}  // namespace ci
