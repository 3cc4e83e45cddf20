// Pattern to program: a recursive-descent parser (its depth bounded by the
// pattern's nesting, never by a text) builds a small tree, which is then laid
// out as instructions for the backtracking search; last, the tree and the
// instructions tell where a match can start (the prefilter). Every recursion
// here is bounded: the parser's by kMaxNesting, the emitter's by the tree's
// height.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ci/base/wide_string.h"
#include "ci/net/regex.h"
#include "ci/net/regex_program.h"

namespace ci {
namespace {

// Beyond these a pattern is refused as too large (error 1). The nesting counts
// groups, "!" and repetitions of one item; the height bounds the tree a long
// chain of such items builds (each repetition wraps what it repeats).
constexpr int kMaxNesting = 200;
constexpr int kMaxTreeHeight = 1000;
constexpr std::size_t kMaxInstructions = (std::size_t(1) << kRegexInstructionBits) - 2;
// Beyond this many search states per text position the search is bounded by
// steps instead of visited states.
constexpr std::size_t kMaxStatesPerPosition = std::size_t(1) << 16;

// The abbreviations, each standing for an expression (already lower case).
const WChar* Abbreviation(WChar letter) {
  switch (letter) {
    case u'a':
      return u"([a-za-z0-9])";
    case u'b':
      return u"([ \t])";
    case u'c':
      return u"([a-za-z])";
    case u'd':
      return u"([0-9])";
    case u'h':
      return u"([0-9a-fa-f])";
    case u'n':
      return u"(\r|(\r?\n))";
    case u'q':
      return u"(\"[^\"]*\")|('[^']*')";
    case u'w':
      return u"([a-za-z]+)";
    case u'z':
      return u"([0-9]+)";
    default:
      return nullptr;
  }
}

constexpr std::uint32_t kNoCapture = 0xFFFFFFFFu;

// The parse tree of a pattern, read by the instruction emitter and the
// literal prefilter. A node's children always have smaller indices than the
// node itself: the parser adds a node only after its children.
struct RegexNode {
  enum Kind {
    kEmpty,
    kChar,
    kAny,
    kSet,
    kEnd,
    kBackRef,
    kConcat,
    kAlt,
    kGroup,
    kRepeat,
    kNotAhead
  };
  Kind kind = kEmpty;
  std::uint32_t value = 0;  // character, set index, group (kNoCapture: no capture)
  bool at_least_one = false;
  bool at_most_one = false;
  bool greedy = true;
  std::vector<int> kids;
};

using Node = RegexNode;

class Parser {
 public:
  Parser(const WString& pattern, RegexProgram* program)
      : text_(pattern.c_str()), length_(pattern.size()), program_(program) {}

  int Parse(int* root) {
    if (length_ > 0 && text_[0] == u'^') {
      program_->anchored = true;
      pos_ = 1;
    }
    int error = ParseAlternation(0, 0, root);
    if (error) return error;
    if (max_back_reference_ >= group_count_) return kRegexBadBackReference;
    program_->group_count = group_count_;
    return kRegexOk;
  }

  const std::vector<Node>& nodes() const { return nodes_; }

 private:
  int Add(Node node) {
    nodes_.push_back(std::move(node));
    return static_cast<int>(nodes_.size() - 1);
  }

  bool AtEnd() const { return pos_ >= length_; }
  WChar Peek() const { return text_[pos_]; }

  // alternative { '|' alternative }, up to the end or `closer` (0: none).
  int ParseAlternation(WChar closer, int depth, int* out) {
    if (depth > kMaxNesting) return kRegexOutOfMemory;
    Node alt;
    alt.kind = Node::kAlt;
    for (;;) {
      int seq;
      if (int error = ParseSequence(closer, depth, &seq)) return error;
      alt.kids.push_back(seq);
      if (AtEnd() || Peek() != u'|') break;
      ++pos_;
    }
    *out = alt.kids.size() == 1 ? alt.kids[0] : Add(std::move(alt));
    return kRegexOk;
  }

  int ParseSequence(WChar closer, int depth, int* out) {
    Node seq;
    seq.kind = Node::kConcat;
    while (!AtEnd() && Peek() != u'|' && !(closer && Peek() == closer)) {
      int item;
      if (int error = ParseItem(closer, depth, &item)) return error;
      seq.kids.push_back(item);
    }
    if (seq.kids.empty()) {
      *out = Add(Node());
    } else {
      *out = seq.kids.size() == 1 ? seq.kids[0] : Add(std::move(seq));
    }
    return kRegexOk;
  }

  // ['!'] atom {repetition}
  int ParseItem(WChar closer, int depth, int* out) {
    if (depth > kMaxNesting) return kRegexOutOfMemory;
    if (Peek() == u'!' && pos_ + 1 < length_ && text_[pos_ + 1] != u'|' &&
        !(closer && text_[pos_ + 1] == closer)) {
      ++pos_;
      int operand;
      if (int error = ParseItem(closer, depth + 1, &operand)) return error;
      Node neg;
      neg.kind = Node::kNotAhead;
      neg.kids.push_back(operand);
      *out = Add(std::move(neg));
      return kRegexOk;
    }
    int atom;
    if (int error = ParseAtom(depth, &atom)) return error;
    int repetitions = 0;
    while (!AtEnd() && (Peek() == u'*' || Peek() == u'+' || Peek() == u'?')) {
      if (IsEmpty(atom)) return kRegexEmptyRepeat;
      if (depth + ++repetitions > kMaxNesting) return kRegexOutOfMemory;
      Node rep;
      rep.kind = Node::kRepeat;
      rep.at_least_one = Peek() == u'+';
      rep.at_most_one = Peek() == u'?';
      ++pos_;
      if (!AtEnd() && Peek() == u'?') {
        rep.greedy = false;
        ++pos_;
      }
      rep.kids.push_back(atom);
      atom = Add(std::move(rep));
    }
    *out = atom;
    return kRegexOk;
  }

  int ParseAtom(int depth, int* out) {
    const WChar c = text_[pos_++];
    Node node;
    switch (c) {
      case u'*':
      case u'+':
      case u'?':
        return kRegexEmptyRepeat;
      case u'(':
      case u'{': {
        const bool capture = c == u'{';
        const WChar closer = capture ? u'}' : u')';
        node.kind = Node::kGroup;
        node.value = capture ? static_cast<std::uint32_t>(group_count_++) : kNoCapture;
        int inner;
        if (int error = ParseAlternation(closer, depth + 1, &inner)) return error;
        if (AtEnd()) return capture ? kRegexBraceExpected : kRegexParenExpected;
        ++pos_;
        node.kids.push_back(inner);
        break;
      }
      case u'[':
        node.kind = Node::kSet;
        if (int error = ParseSet(&node.value)) return error;
        break;
      case u'.':
        node.kind = Node::kAny;
        break;
      case u'$':
        if (pos_ == length_ && !in_abbreviation_) {
          node.kind = Node::kEnd;
        } else {
          node.kind = Node::kChar;
          node.value = c;
        }
        break;
      case u'\\':
        return ParseEscape(depth, out);
      default:
        node.kind = Node::kChar;
        node.value = c;
        break;
    }
    *out = Add(std::move(node));
    return kRegexOk;
  }

  int ParseEscape(int depth, int* out) {
    Node node;
    if (AtEnd()) {  // a trailing backslash stands for itself
      node.kind = Node::kChar;
      node.value = u'\\';
      *out = Add(std::move(node));
      return kRegexOk;
    }
    const WChar c = text_[pos_++];
    if (c >= u'0' && c <= u'9') {
      node.kind = Node::kBackRef;
      node.value = c - u'0';
      if (static_cast<int>(node.value) > max_back_reference_) {
        max_back_reference_ = static_cast<int>(node.value);
      }
      program_->needs_step_budget = true;
    } else if (const WChar* expansion = Abbreviation(c)) {
      // The abbreviation is one item, as if its expression were in parentheses.
      const WChar* saved_text = text_;
      const std::size_t saved_pos = pos_, saved_length = length_;
      const bool saved_in = in_abbreviation_;
      text_ = expansion;
      pos_ = 0;
      length_ = std::char_traits<WChar>::length(expansion);
      in_abbreviation_ = true;
      int inner;
      const int error = ParseAlternation(0, depth + 1, &inner);
      text_ = saved_text;
      pos_ = saved_pos;
      length_ = saved_length;
      in_abbreviation_ = saved_in;
      if (error) return error;
      node.kind = Node::kGroup;
      node.value = kNoCapture;
      node.kids.push_back(inner);
    } else {
      node.kind = Node::kChar;
      node.value = c;
    }
    *out = Add(std::move(node));
    return kRegexOk;
  }

  // After '['. Items are characters (a backslash takes the next one literally)
  // and ranges a-z; a reversed range holds nothing.
  int ParseSet(std::uint32_t* index) {
    RegexCharSet set;
    if (!AtEnd() && Peek() == u'^') {
      set.negated = true;
      ++pos_;
    }
    int items = 0;
    for (;;) {
      if (AtEnd()) return kRegexBracketExpected;
      if (Peek() == u']') {
        ++pos_;
        break;
      }
      WChar low;
      if (!ReadSetChar(&low)) return kRegexBracketExpected;
      WChar high = low;
      if (pos_ + 1 < length_ && Peek() == u'-' && text_[pos_ + 1] != u']') {
        ++pos_;
        if (!ReadSetChar(&high)) return kRegexBracketExpected;
      }
      ++items;
      AddRange(&set, low, high);
    }
    if (items == 0) return kRegexEmptySet;
    if (set.negated) {
      set.ascii[0] = ~set.ascii[0];
      set.ascii[1] = ~set.ascii[1];
    }
    program_->sets.push_back(std::move(set));
    *index = static_cast<std::uint32_t>(program_->sets.size() - 1);
    return kRegexOk;
  }

  bool ReadSetChar(WChar* c) {
    if (Peek() == u'\\') {
      ++pos_;
      if (AtEnd()) return false;
    }
    *c = text_[pos_++];
    return true;
  }

  static void AddRange(RegexCharSet* set, WChar low, WChar high) {
    if (low > high) return;
    for (unsigned c = low; c <= high && c < 0x80; ++c)
      set->ascii[c >> 6] |= std::uint64_t(1) << (c & 63);
    if (high >= 0x80) set->ranges.emplace_back(low < 0x80 ? WChar(0x80) : low, high);
  }

  // Syntactically empty: nothing, or a group or alternation of nothing.
  bool IsEmpty(int index) const {
    const Node& node = nodes_[index];
    if (node.kind == Node::kEmpty) return true;
    if (node.kind == Node::kGroup) return IsEmpty(node.kids[0]);
    if (node.kind == Node::kAlt) {
      for (int kid : node.kids) {
        if (!IsEmpty(kid)) return false;
      }
      return true;
    }
    return false;
  }

  const WChar* text_;
  std::size_t length_;
  std::size_t pos_ = 0;
  bool in_abbreviation_ = false;
  RegexProgram* program_;
  std::vector<Node> nodes_;
  int group_count_ = 0;
  int max_back_reference_ = -1;
};

// Lays the tree out as instructions. A repetition with a minimum of one is its
// operand followed by the unbounded repetition of a second copy, so that only
// iterations beyond the first are checked for taking no text.
class Emitter {
 public:
  Emitter(const std::vector<Node>& nodes, RegexProgram* program)
      : nodes_(nodes), program_(program) {}

  bool Emit(int index) {
    if (program_->insts.size() > kMaxInstructions) return false;
    const Node& node = nodes_[index];
    switch (node.kind) {
      case Node::kEmpty:
        return true;
      case Node::kChar:
        Push(RegexOp::kChar, node.value);
        return true;
      case Node::kAny:
        Push(RegexOp::kAny);
        return true;
      case Node::kSet:
        Push(RegexOp::kSet, node.value);
        return true;
      case Node::kEnd:
        Push(RegexOp::kEnd);
        return true;
      case Node::kBackRef:
        Push(RegexOp::kBackRef, node.value);
        return true;
      case Node::kConcat:
        for (int kid : node.kids) {
          if (!Emit(kid)) return false;
        }
        return true;
      case Node::kAlt:
        return EmitAlternation(node);
      case Node::kGroup:
        if (node.value != kNoCapture) Push(RegexOp::kGroupOpen, node.value);
        if (!Emit(node.kids[0])) return false;
        if (node.value != kNoCapture) Push(RegexOp::kGroupClose, node.value);
        return true;
      case Node::kRepeat:
        return EmitRepeat(node);
      case Node::kNotAhead: {
        const std::size_t head = Push(RegexOp::kNotAhead);
        ++look_aheads_;
        if (!Emit(node.kids[0])) return false;
        Push(RegexOp::kNotAheadEnd);
        --look_aheads_;
        program_->insts[head].arg = Here();
        return true;
      }
    }
    return false;
  }

 private:
  std::size_t Push(RegexOp op, std::uint32_t arg = 0) {
    RegexInst inst;
    inst.op = op;
    inst.loops = static_cast<std::uint8_t>(loops_);
    inst.in_look_ahead = look_aheads_ > 0;
    inst.arg = arg;
    program_->insts.push_back(inst);
    return program_->insts.size() - 1;
  }
  std::uint32_t Here() const { return static_cast<std::uint32_t>(program_->insts.size()); }

  void SetSplit(std::size_t split, std::uint32_t body, std::uint32_t skip, bool greedy) {
    program_->insts[split].arg = greedy ? body : skip;
    program_->insts[split].alt = greedy ? skip : body;
  }

  bool EmitAlternation(const Node& node) {
    std::vector<std::size_t> exits;
    for (std::size_t i = 0; i + 1 < node.kids.size(); ++i) {
      const std::size_t split = Push(RegexOp::kSplit);
      program_->insts[split].arg = Here();
      if (!Emit(node.kids[i])) return false;
      exits.push_back(Push(RegexOp::kJmp));
      program_->insts[split].alt = Here();
    }
    if (!Emit(node.kids.back())) return false;
    for (std::size_t jump : exits) program_->insts[jump].arg = Here();
    return true;
  }

  bool EmitRepeat(const Node& node) {
    const int operand = node.kids[0];
    if (node.at_most_one) {
      const std::size_t split = Push(RegexOp::kSplit);
      if (!Emit(operand)) return false;
      SetSplit(split, static_cast<std::uint32_t>(split + 1), Here(), node.greedy);
      return true;
    }
    if (node.at_least_one && !Emit(operand)) return false;
    if (loops_ >= kRegexMaxLoopNesting) return false;
    const std::uint32_t level = static_cast<std::uint32_t>(loops_);
    const std::size_t loop = Push(RegexOp::kSplit);
    Push(RegexOp::kLoopMark, level);
    ++loops_;
    if (!Emit(operand)) return false;
    Push(RegexOp::kLoopCheck, level);
    Push(RegexOp::kJmp, static_cast<std::uint32_t>(loop));
    --loops_;
    SetSplit(loop, static_cast<std::uint32_t>(loop + 1), Here(), node.greedy);
    return true;
  }

  const std::vector<Node>& nodes_;
  RegexProgram* program_;
  int loops_ = 0;
  int look_aheads_ = 0;  // "!" bodies around the instruction being emitted
};

// Numbers the search states of one text position.
void CountStates(RegexProgram* program) {
  std::size_t states = 0;
  for (RegexInst& inst : program->insts) {
    inst.state_offset = static_cast<std::uint32_t>(states);
    states += (std::size_t(1) << inst.loops) * (inst.in_look_ahead ? 2 : 1);
    if (states > kMaxStatesPerPosition) {
      program->needs_step_budget = true;
      program->states_per_position = 0;
      return;
    }
  }
  program->states_per_position = states;
}

// Children come before their parents in `nodes`, so one pass finds every
// subtree's height.
int TreeHeight(const std::vector<Node>& nodes) {
  std::vector<int> height(nodes.size(), 1);
  int highest = 0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    for (int kid : nodes[i].kids) height[i] = std::max(height[i], height[kid] + 1);
    highest = std::max(highest, height[i]);
  }
  return highest;
}

// Where a match can start. The first characters come from the instructions
// (every path that takes no text from the first one), the literal from the
// tree (the longest run of characters in the sequence of items every match
// goes through).

// A longer run of characters is cut to this many: checking an occurrence
// costs up to its length at each candidate position.
constexpr std::size_t kMaxLiteral = 32;

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

}  // namespace

int CompileRegex(const WChar* pattern, RegexProgram* program) {
  *program = RegexProgram();
  if (pattern == nullptr || *pattern == 0) return kRegexNoPattern;
  WString lowered(pattern);
  for (WChar& c : lowered) c = ToLowerChar(c);

  Parser parser(lowered, program);
  int root;
  if (int error = parser.Parse(&root)) return error;
  if (TreeHeight(parser.nodes()) > kMaxTreeHeight) return kRegexOutOfMemory;
  Emitter emitter(parser.nodes(), program);
  if (!emitter.Emit(root) || program->insts.size() > kMaxInstructions) return kRegexOutOfMemory;
  RegexInst match;
  match.op = RegexOp::kMatch;
  program->insts.push_back(match);
  CountStates(program);
  FindFirstCharacters(program);
  FindRequiredLiteral(parser.nodes(), root, program);
  return kRegexOk;
}

}  // namespace ci
