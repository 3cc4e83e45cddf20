// Inputs that make a plain backtracker take exponential time or deep recursion:
// they finish with the right answer, or stop at their budget, having done no
// more work than the budget allows.
#include <gtest/gtest.h>

#include "ci/net/proxy_expressions.h"
#include "ci/net/regex.h"
#include "tests/ci/net/regex_test_support.h"

namespace ci {
namespace {

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
