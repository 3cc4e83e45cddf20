// The search over compiled programs.
//
// Random small patterns and texts, checked against an independent backtracking
// engine (std::regex, ECMAScript grammar, case-insensitive) after translating
// the syntax, and the two search strategies against each other.
//
// Intended differences, kept out of the comparison:
//  - a group inside a repetition keeps the text of the last iteration that set
//    it (ECMAScript clears it at each iteration), so such groups, and
//    back-references to them, are not compared;
//  - "." matches every character (translated as [\s\S]);
//  - a back-reference to a group that took no part matches empty text, as
//    ECMAScript says, but the standard library's engine fails it; the
//    generator refers only to groups that always take part.
//
// Inputs that make a plain backtracker take exponential time or deep recursion:
// they finish with the right answer, or stop at their budget, having done no
// more work than the budget allows.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "ci/net/proxy_expressions.h"
#include "ci/net/regex.h"
#include "tests/ci/net/regex_test_support.h"

namespace ci {
namespace {

struct GeneratedPattern {
  WString ours;
  std::wstring ecma;
  std::vector<bool> comparable;  // per group: outside every repetition and look-ahead
};

class PatternGenerator {
 public:
  // `nullable_loops`: also repeat items that can match empty text.
  // `look_ahead_percent`: how often an item is a "!".
  PatternGenerator(unsigned seed, bool with_back_references, bool nullable_loops,
                   int look_ahead_percent = 5, int max_text_length = 10)
      : rng_(seed),
        back_references_(with_back_references),
        nullable_loops_(nullable_loops),
        look_ahead_percent_(look_ahead_percent),
        max_text_length_(max_text_length) {}

  GeneratedPattern Make() {
    pattern_ = GeneratedPattern();
    closed_comparable_.clear();
    // "^" anchors the whole expression; "$" belongs to the last alternative.
    const bool anchored = Chance(15);
    if (anchored) Emit(u"^", L"^(?:");
    Alternation(0, false);
    if (Chance(15)) Emit(u"$", L"$");
    if (anchored) Emit(u"", L")");
    return pattern_;
  }

  WString Text() {
    static const char16_t kAlphabet[] = u"abcAB1 ";
    WString text;
    const int length = Below(max_text_length_ + 1);
    for (int i = 0; i < length; ++i) text += kAlphabet[Below(7)];
    return text;
  }

 private:
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(int percent) { return Below(100) < percent; }
  void Emit(const char16_t* ours, const wchar_t* ecma) {
    pattern_.ours += ours;
    pattern_.ecma += ecma;
  }

  // Each returns whether what it emitted can match empty text.
  bool Alternation(int depth, bool repeated) {
    bool nullable = false;
    const int branches = depth > 1 ? 1 : 1 + (Chance(25) ? 1 : 0);
    for (int b = 0; b < branches; ++b) {
      if (b > 0) Emit(u"|", L"|");
      if (branches > 1) ++optional_depth_;
      const int items = (b > 0 && Chance(10)) ? 0 : 1 + Below(depth > 0 ? 2 : 3);
      bool branch_nullable = true;
      for (int i = 0; i < items; ++i) branch_nullable = Item(depth, repeated) && branch_nullable;
      nullable = nullable || branch_nullable;
      if (branches > 1) --optional_depth_;
    }
    return nullable;
  }

  bool Item(int depth, bool repeated) {
    if (depth < 3 && Chance(look_ahead_percent_)) {
      Emit(u"!", L"(?!");
      QuantifiedAtom(depth + 1, true);
      Emit(u"", L")");
      return true;
    }
    return QuantifiedAtom(depth, repeated);
  }

  bool QuantifiedAtom(int depth, bool repeated) {
    const bool quantified = Chance(30);
    const bool nullable = Atom(depth, repeated || quantified);
    if (!quantified || (nullable && !nullable_loops_)) return nullable;
    static const char16_t* const kOurs[] = {u"*", u"+", u"?", u"*?", u"+?", u"??"};
    static const wchar_t* const kEcma[] = {L"*", L"+", L"?", L"*?", L"+?", L"??"};
    const int q = Below(6);
    Emit(kOurs[q], kEcma[q]);
    return nullable || q == 0 || q == 2 || q == 3 || q == 5;
  }

  bool Atom(int depth, bool repeated) {
    const int kind = depth > 2 ? Below(5) : Below(10);
    switch (kind) {
      case 0:
      case 1:
      case 2: {
        static const char16_t kOurs[] = u"abcAB1 ";
        const int c = Below(7);
        pattern_.ours += kOurs[c];
        pattern_.ecma += static_cast<wchar_t>(kOurs[c]);
        return false;
      }
      case 3: {
        static const char16_t* const kOurs[] = {u"[ab]", u"[^a]", u"[a-c]", u"[^A-B1]", u"[b\\-]"};
        static const wchar_t* const kEcma[] = {L"[ab]", L"[^a]", L"[a-c]", L"[^A-B1]", L"[b\\-]"};
        const int s = Below(5);
        Emit(kOurs[s], kEcma[s]);
        return false;
      }
      case 4:
        if (Chance(50)) {
          Emit(u".", L"[\\s\\S]");
        } else {
          static const char16_t* const kOurs[] = {u"\\d", u"\\w", u"\\c", u"\\a", u"\\b"};
          static const wchar_t* const kEcma[] = {L"(?:[0-9])", L"(?:[a-zA-Z]+)", L"(?:[a-zA-Z])",
                                                 L"(?:[a-zA-Z0-9])", L"(?:[ \\t])"};
          const int a = Below(5);
          Emit(kOurs[a], kEcma[a]);
        }
        return false;
      case 5:
      case 6: {
        Emit(u"(", L"(?:");
        const std::size_t before = pattern_.ours.size();
        bool nullable = Alternation(depth + 1, repeated);
        if (pattern_.ours.size() == before) {  // keep it non-empty
          Emit(u"a", L"a");
          nullable = false;
        }
        Emit(u")", L")");
        return nullable;
      }
      case 7:
      case 8: {
        const std::size_t group = pattern_.comparable.size();
        pattern_.comparable.push_back(!repeated);
        Emit(u"{", L"(");
        const std::size_t before = pattern_.ours.size();
        bool nullable = Alternation(depth + 1, repeated);
        if (pattern_.ours.size() == before) {
          Emit(u"b", L"b");
          nullable = false;
        }
        Emit(u"}", L")");
        if (!repeated && optional_depth_ == 0) closed_comparable_.push_back(group);
        return nullable;
      }
      default:
        if (back_references_ && !closed_comparable_.empty()) {
          const std::size_t group = closed_comparable_[Below(int(closed_comparable_.size()))];
          pattern_.ours += u"\\" + WString(1, char16_t(u'0' + group));
          pattern_.ecma += L"(?:\\" + std::to_wstring(group + 1) + L")";
          return true;
        }
        Emit(u"c", L"c");
        return false;
    }
  }

  std::mt19937 rng_;
  bool back_references_;
  bool nullable_loops_;
  int look_ahead_percent_;
  int max_text_length_;
  int optional_depth_ = 0;  // inside an alternation of several branches
  GeneratedPattern pattern_;
  std::vector<std::size_t> closed_comparable_;
};

std::wstring ToWide(const WString& s) { return std::wstring(s.begin(), s.end()); }

struct OracleStats {
  int compared = 0;
  int matched = 0;
};

void CompareWithOracle(unsigned seed, int patterns, bool back_references, OracleStats* stats) {
  PatternGenerator gen(seed, back_references, false);
  for (int p = 0; p < patterns; ++p) {
    const GeneratedPattern pattern = gen.Make();
    if (pattern.comparable.size() > 9) continue;
    std::wregex oracle;
    try {
      oracle.assign(pattern.ecma, std::regex::ECMAScript | std::regex::icase);
    } catch (const std::regex_error&) {
      ADD_FAILURE() << "oracle refused "
                    << WideToUtf8(WString(pattern.ecma.begin(), pattern.ecma.end()));
      continue;
    }
    for (int t = 0; t < 6; ++t) {
      const WString text = gen.Text();
      const Found ours = Search(pattern.ours, text);
      ASSERT_EQ(ours.error, 0) << Show(pattern.ours);
      const std::wstring wide = ToWide(text);
      std::wsmatch m;
      const bool expected = std::regex_search(wide, m, oracle);
      SCOPED_TRACE("/" + Show(pattern.ours) + "/ on \"" + Show(text) + "\"");
      ++stats->compared;
      ASSERT_EQ(ours.outcome == RegexOutcome::kMatch, expected);
      if (!expected) continue;
      ++stats->matched;
      EXPECT_EQ(ours.begin, static_cast<std::size_t>(m.position(0)));
      EXPECT_EQ(ours.end - ours.begin, static_cast<std::size_t>(m.length(0)));
      for (std::size_t g = 0; g < pattern.comparable.size(); ++g) {
        if (!pattern.comparable[g]) continue;
        EXPECT_EQ(ours.participated[g], m[g + 1].matched) << "group " << g;
        if (m[g + 1].matched) {
          EXPECT_EQ(ToWide(ours.groups[g]), m[g + 1].str()) << "group " << g;
        }
      }
      if (testing::Test::HasFailure()) return;
    }
  }
}

TEST(RegexOracle, AgreesWithAnIndependentBacktrackerWithoutBackReferences) {
  OracleStats stats;
  CompareWithOracle(20261209, 3000, false, &stats);
  EXPECT_GT(stats.matched, stats.compared / 5);  // the generator exercises matches
}

TEST(RegexOracle, AgreesWithAnIndependentBacktrackerWithBackReferences) {
  OracleStats stats;
  CompareWithOracle(7, 2000, true, &stats);
  EXPECT_GT(stats.matched, stats.compared / 5);
}

// The visited-pairs search must give exactly the plain backtracking result,
// every group included.
struct StrategyStats {
  int compared = 0;
  int over_budget = 0;
};

StrategyStats CompareStrategies(PatternGenerator* gen, int patterns) {
  StrategyStats stats;
  for (int p = 0; p < patterns; ++p) {
    const GeneratedPattern pattern = gen->Make();
    for (int t = 0; t < 6; ++t) {
      const WString text = gen->Text();
      const Found fast = Search(pattern.ours, text, RegexStrategy::kVisitedPairs);
      const Found plain = Search(pattern.ours, text, RegexStrategy::kStepBudget);
      SCOPED_TRACE("/" + Show(pattern.ours) + "/ on \"" + Show(text) + "\"");
      EXPECT_EQ(fast.error, 0);
      if (plain.outcome == RegexOutcome::kLimitReached) {  // exponential for plain backtracking
        ++stats.over_budget;
        continue;
      }
      EXPECT_EQ(fast.outcome, plain.outcome);
      if (fast.outcome != RegexOutcome::kMatch || plain.outcome != RegexOutcome::kMatch) continue;
      ++stats.compared;
      EXPECT_EQ(fast.begin, plain.begin);
      EXPECT_EQ(fast.end, plain.end);
      EXPECT_EQ(fast.participated, plain.participated);
      EXPECT_EQ(fast.groups, plain.groups);
      if (testing::Test::HasFailure()) return stats;
    }
  }
  return stats;
}

TEST(RegexOracle, VisitedPairsGiveThePlainBacktrackingResult) {
  PatternGenerator gen(99, false, true);
  const StrategyStats stats = CompareStrategies(&gen, 3000);
  EXPECT_GT(stats.compared, 1000);
  EXPECT_LT(stats.over_budget, 50);
}

// Look-ahead bodies share what their states are known to do across positions
// and start positions; longer texts reach states again from other ones.
TEST(RegexOracle, LookAheadsInTheVisitedSearchGiveThePlainBacktrackingResult) {
  PatternGenerator gen(2718, false, true, 35, 24);
  const StrategyStats stats = CompareStrategies(&gen, 3000);
  EXPECT_GT(stats.compared, 1000);
  EXPECT_LT(stats.over_budget, 100);
}

// Hostile inputs and the limits of one search.

constexpr std::size_t kLong = 100000;
const WString kRun(kLong, u'a');

struct HostileCase {
  const char16_t* pattern;
  WString text;
  RegexOutcome outcome;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << "/" << Show(c.pattern) << "/"; }

class HostileInputTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileInputTest, FinishesWithTheRightAnswer) {
  ASSERT_FALSE(AtlRE(GetParam().pattern).has_back_references());
  EXPECT_EQ(Search(GetParam().pattern, GetParam().text).outcome, GetParam().outcome);
}

WString LineEnds(std::size_t count) {
  WString s;
  for (std::size_t i = 0; i < count; ++i) s += u"\r\n";
  return s;
}

// The literal every match needs decides the first group without a search; the
// second group has it, so the search itself must stay linear.
INSTANTIATE_TEST_SUITE_P(
    LongTexts, HostileInputTest,
    testing::Values(
        HostileCase{u"(a|aa)*c", kRun, RegexOutcome::kNoMatch},
        HostileCase{u"(a|aa)*c", kRun + u"c", RegexOutcome::kMatch},
        HostileCase{u"(.*)*x", kRun, RegexOutcome::kNoMatch},
        HostileCase{u"{(a*)*}b", kRun, RegexOutcome::kNoMatch},
        HostileCase{u"(a|aa)*c\\d", kRun + u"c", RegexOutcome::kNoMatch},
        HostileCase{u"(.*)*x\\d", kRun + u"x", RegexOutcome::kNoMatch},
        HostileCase{u"{(a*)*}b\\d", kRun + u"b", RegexOutcome::kNoMatch},
        HostileCase{u"^(a+)+$", kRun + u"!", RegexOutcome::kNoMatch},
        HostileCase{u"({a}|{b})*c", kRun, RegexOutcome::kNoMatch},
        HostileCase{u"({a}|{b})*c\\d", kRun + u"c", RegexOutcome::kNoMatch},
        HostileCase{u"(\\w\\b*)*;", WString(kLong, u'w') + u";x", RegexOutcome::kMatch},
        HostileCase{u"(\\w\\b*)*;\\d", WString(kLong, u'w') + u";x", RegexOutcome::kNoMatch},
        HostileCase{u"\\n*Proxy\\-Authenticate\\:\\b*{\\w}\\n*",
                    LineEnds(kLong / 2) + u"Proxy-Authenticate:", RegexOutcome::kNoMatch}));

TEST(RegexLimits, LongCaptureLoopNeedsNoRecursion) {
  const AtlRE re(u"^{({a}b?)*}$");
  WString groups[2];
  ASSERT_TRUE(re.Match(kRun.c_str(), groups, 2, nullptr));
  EXPECT_EQ(groups[0].size(), kLong);
  EXPECT_EQ(groups[1], u"a");
}

TEST(RegexLimits, ProxyAuthenticateOverALongHeaderLine) {
  const WString text = u"Proxy-Authenticate: " + WString(kLong, u'N') + u"\r\n";
  WString scheme[1];
  ASSERT_TRUE(ProxyAuthenticateRE().Match(text.c_str(), scheme, 1, nullptr));
  EXPECT_EQ(scheme[0].size(), kLong);
}

struct BudgetCase {
  const char16_t* pattern;
  WString text;
};

void PrintTo(const BudgetCase& c, std::ostream* os) { *os << "/" << Show(c.pattern) << "/"; }

class BackReferenceBudgetTest : public testing::TestWithParam<BudgetCase> {};

// Back-references rule out visited states, and each of these compares long
// captured texts again and again: the search stops when its budget, counted
// in compared characters too, runs out.
TEST_P(BackReferenceBudgetTest, StopsWhenTheBudgetRunsOut) {
  const RegexLimits limits;
  const Found found = Search(GetParam().pattern, GetParam().text);
  ASSERT_TRUE(found.needs_step_budget);
  EXPECT_EQ(found.outcome, RegexOutcome::kLimitReached);
  EXPECT_EQ(found.work.plain_steps, limits.step_budget + 1);
  EXPECT_EQ(found.work.visited_steps, 0u);
  EXPECT_FALSE(AtlRE(GetParam().pattern).Match(GetParam().text.c_str(), nullptr, 0, nullptr));
}

INSTANTIATE_TEST_SUITE_P(LongTexts, BackReferenceBudgetTest,
                         testing::Values(BudgetCase{u"{a*?}\\0b", WString(80000, u'a') + u"b"},
                                         BudgetCase{u"{(a|b)*}\\0\\0c", kRun + u"c"},
                                         BudgetCase{u"{(a|aa)*}\\0c", kRun + u"c"},
                                         BudgetCase{u"{.*}\\0\\0x", kRun + u"x"},
                                         BudgetCase{u"{a+}{\\0+}\\1\\0b", kRun + u"b"}));

TEST(RegexLimits, EveryComparedCharacterIsAStep) {
  const WString text = WString(1000, u'a') + u"b" + WString(1000, u'A');
  const Found capture = Search(u"{a+}b", text, RegexStrategy::kStepBudget);
  const Found compare = Search(u"{a+}b\\0", text, RegexStrategy::kStepBudget);
  ASSERT_EQ(capture.outcome, RegexOutcome::kMatch);
  ASSERT_EQ(compare.outcome, RegexOutcome::kMatch);
  EXPECT_EQ(compare.end, text.size());
  EXPECT_GE(compare.work.plain_steps, capture.work.plain_steps + 1000);
}

TEST(RegexLimits, BackReferenceWithinBudgetStillMatches) {
  const WString text = WString(1000, u'x') + u"abcabc";
  const AtlRE re(u"{[a-c]+}\\0");
  WString group[1];
  ASSERT_TRUE(re.Match(text.c_str(), group, 1, nullptr));
  EXPECT_EQ(group[0], u"abc");
}

WString Alternatives(int count) {
  WString pattern = u"(";
  for (int i = 0; i < count; ++i) {
    if (i > 0) pattern += u"|";
    pattern += u"a";
    pattern += static_cast<char16_t>(u'b' + i % 20);
  }
  return pattern + u")";
}

// Linear in the text, but with a large factor: the visited search has a
// budget too.
TEST(RegexLimits, VisitedSearchStopsWhenItsBudgetRunsOut) {
  RegexLimits limits;
  limits.visited_step_budget = 200000;
  const Found found = Search(Alternatives(1000), kRun, RegexStrategy::kAuto, limits);
  ASSERT_FALSE(found.needs_step_budget);
  EXPECT_EQ(found.outcome, RegexOutcome::kLimitReached);
  EXPECT_GT(found.work.visited_steps, limits.visited_step_budget);
  EXPECT_LE(found.work.visited_steps, limits.visited_step_budget + 64);
  EXPECT_EQ(found.work.plain_steps, 0u);
  // An expression's budget covers its visited search.
  EXPECT_FALSE(AtlRE(Alternatives(1000), 20000).Match(kRun.c_str(), nullptr, 0, nullptr));
  EXPECT_TRUE(AtlRE(Alternatives(1000), 20000).Match(u"aaaaaaaaaaaaaaak", nullptr, 0, nullptr));
}

// A search whose visited states or pending alternatives outgrow their memory
// goes on as plain backtracking, with the answer plain backtracking gives.
TEST(RegexLimits, VisitedStateMemoryLimitFallsBackToPlainBacktracking) {
  RegexLimits limits;
  limits.max_visited_bits = 1 << 12;
  const WString text = WString(5000, u'a') + u"c";
  const Found found = Search(u"{(a|b)*}c", text, RegexStrategy::kAuto, limits);
  ASSERT_EQ(found.outcome, RegexOutcome::kMatch);
  EXPECT_EQ(found.begin, 0u);
  EXPECT_EQ(found.groups[0].size(), 5000u);
  EXPECT_GT(found.work.visited_steps, 0u);
  EXPECT_GT(found.work.plain_steps, 0u);
  // The plain search keeps its own budget.
  limits.step_budget = 1000;
  EXPECT_EQ(Search(u"(a|b)*c", text, RegexStrategy::kAuto, limits).outcome,
            RegexOutcome::kLimitReached);
}

TEST(RegexLimits, PendingAlternativeLimitFallsBackToPlainBacktracking) {
  // The look-ahead's body marks each of its states on the stack when visited
  // states are kept, so only that search outgrows the limit.
  RegexLimits limits;
  limits.max_stack_frames = 25000;
  const WString text = WString(10000, u'a') + u"c";
  const Found found = Search(u"!(a*b){a*}c", text, RegexStrategy::kAuto, limits);
  ASSERT_EQ(found.outcome, RegexOutcome::kMatch);
  EXPECT_EQ(found.end, text.size());
  EXPECT_GT(found.work.visited_steps, 0u);
  EXPECT_GT(found.work.plain_steps, 0u);
  limits.max_stack_frames = 1000;
  EXPECT_EQ(Search(u"{a}*c", text, RegexStrategy::kStepBudget, limits).outcome,
            RegexOutcome::kLimitReached);
}

WString NestedLoops(const WString& body, int depth) {
  WString pattern = body;
  for (int i = 0; i < depth; ++i) pattern = u"(" + pattern + u")*";
  return pattern;
}

TEST(RegexLimits, DeeplyNestedLoops) {
  EXPECT_EQ(Search(NestedLoops(u"a", 13), u"a").error, kRegexOutOfMemory);
  const Found nested = Search(NestedLoops(u"a", 12) + u"b", WString(50, u'a') + u"b");
  ASSERT_EQ(nested.error, 0);
  EXPECT_EQ(nested.outcome, RegexOutcome::kMatch);
  // Too many visited states for a long try: the rest is plain backtracking.
  const Found far = Search(NestedLoops(u"a", 12) + u"b", WString(5000, u'a') + u"b");
  EXPECT_EQ(far.outcome, RegexOutcome::kMatch);
  EXPECT_EQ(far.whole.size(), 5001u);
  // Too many search states per position to count: backtracked under the budget.
  RegexProgram program;
  ASSERT_EQ(CompileRegex(NestedLoops(WString(20, u'a'), 12).c_str(), &program), 0);
  EXPECT_TRUE(program.needs_step_budget);
  const Found budgeted =
      Search(NestedLoops(WString(20, u'a'), 12) + u"b", WString(40, u'a') + u"b");
  EXPECT_EQ(budgeted.outcome, RegexOutcome::kMatch);
  EXPECT_EQ(budgeted.begin, 0u);
}

// Plain backtracking runs each look-ahead body to the end of the text from
// every position; remembering which body states fail keeps it linear.
TEST(RegexLimits, LookAheadsKeepTheSearchLinear) {
  struct {
    const char16_t* pattern;
    WString text;
    RegexOutcome outcome;
  } const cases[] = {
      {u"(!(a*b).)*c", kRun + u"c", RegexOutcome::kMatch},
      {u"(.!(a*b))*c", kRun + u"bc", RegexOutcome::kMatch},
      {u"{(!(a*!(a*c)b).)*}$", kRun + u"c", RegexOutcome::kMatch},
      {u"(!(a*b)a)*c\\d", kRun + u"c", RegexOutcome::kNoMatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.pattern));
    const Found found = Search(c.pattern, c.text);
    EXPECT_EQ(found.outcome, c.outcome);
    // Each state once, and each met again at most twice (a state has at most
    // two successors).
    EXPECT_LE(found.work.visited_steps, 3 * (c.text.size() + 1) * found.states_per_position);
    EXPECT_EQ(Search(c.pattern, c.text, RegexStrategy::kStepBudget).outcome,
              RegexOutcome::kLimitReached);
  }
}

}  // namespace
}  // namespace ci
