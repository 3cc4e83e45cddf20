// Inputs that make a plain backtracker take exponential time or deep recursion:
// they finish with the right answer, or stop at a limit with no match.
#include <gtest/gtest.h>

#include "ci/net/proxy_expressions.h"
#include "ci/net/regex.h"
#include "tests/ci/net/regex_test_support.h"

namespace ci {
namespace {

constexpr std::size_t kLong = 100000;

struct HostileCase {
  const char16_t* pattern;
  WString text;
  bool matches;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << "/" << Show(c.pattern) << "/"; }

class HostileInputTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileInputTest, FinishesWithTheRightAnswer) {
  const AtlRE re(GetParam().pattern);
  ASSERT_EQ(re.error(), 0);
  ASSERT_FALSE(re.has_back_references());
  EXPECT_EQ(re.Match(GetParam().text.c_str(), nullptr, 0, nullptr), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    LongTexts, HostileInputTest,
    testing::Values(HostileCase{u"(a|aa)*c", WString(kLong, u'a'), false},
                    HostileCase{u"(a|aa)*c", WString(kLong, u'a') + u"c", true},
                    HostileCase{u"(.*)*x", WString(kLong, u'a'), false},
                    HostileCase{u"{(a*)*}b", WString(kLong, u'a'), false},
                    HostileCase{u"^(a+)+$", WString(kLong, u'a') + u"!", false},
                    HostileCase{u"({a}|{b})*c", WString(kLong, u'a'), false},
                    HostileCase{u"(\\w\\b*)*;", WString(kLong, u'w'), false},
                    HostileCase{u"\\n*Proxy\\-Authenticate\\:\\b*{\\w}\\n*",
                                [] {
                                  WString s;
                                  for (std::size_t i = 0; i < kLong / 2; ++i) s += u"\r\n";
                                  return s + u"Proxy-Authenticate:";
                                }(),
                                false}));

TEST(RegexLimits, LongCaptureLoopNeedsNoRecursion) {
  const AtlRE re(u"^{({a}b?)*}$");
  WString groups[2];
  ASSERT_TRUE(re.Match(WString(kLong, u'a').c_str(), groups, 2, nullptr));
  EXPECT_EQ(groups[0].size(), kLong);
  EXPECT_EQ(groups[1], u"a");
}

TEST(RegexLimits, ProxyAuthenticateOverALongHeaderLine) {
  const WString text = u"Proxy-Authenticate: " + WString(kLong, u'N') + u"\r\n";
  WString scheme[1];
  ASSERT_TRUE(ProxyAuthenticateRE().Match(text.c_str(), scheme, 1, nullptr));
  EXPECT_EQ(scheme[0].size(), kLong);
}

TEST(RegexLimits, BackReferenceSearchStopsAtItsBudget) {
  // Exponential for backtracking, and back-references rule out visited states.
  const WString text = WString(kLong, u'a');
  const AtlRE re(u"{(a|aa)*}\\0c", 200000);
  ASSERT_TRUE(re.has_back_references());
  EXPECT_FALSE(re.Match(text.c_str(), nullptr, 0, nullptr));
  const Found found = Search(u"{(a|aa)*}\\0c", text);
  EXPECT_EQ(found.outcome, RegexOutcome::kLimitReached);
}

TEST(RegexLimits, BackReferenceWithinBudgetStillMatches) {
  const WString text = WString(1000, u'x') + u"abcabc";
  const AtlRE re(u"{[a-c]+}\\0");
  WString group[1];
  ASSERT_TRUE(re.Match(text.c_str(), group, 1, nullptr));
  EXPECT_EQ(group[0], u"abc");
}

TEST(RegexLimits, VisitedStatesBeyondTheLimitEndTheSearch) {
  RegexLimits limits;
  limits.max_visited_bits = 1 << 12;
  EXPECT_EQ(Search(u"(a|b)*c", WString(10000, u'a'), RegexStrategy::kAuto, limits).outcome,
            RegexOutcome::kLimitReached);
  EXPECT_EQ(Search(u"(a|b)*c", WString(10, u'a') + u"c", RegexStrategy::kAuto, limits).outcome,
            RegexOutcome::kMatch);
}

TEST(RegexLimits, StackBeyondTheLimitEndsTheSearch) {
  RegexLimits limits;
  limits.max_stack_frames = 1000;
  EXPECT_EQ(Search(u"{a}*c", WString(10000, u'a'), RegexStrategy::kAuto, limits).outcome,
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
  // Too many states per position to count: backtracked under the budget.
  RegexProgram program;
  ASSERT_EQ(CompileRegex(NestedLoops(WString(20, u'a'), 12).c_str(), &program), 0);
  EXPECT_TRUE(program.needs_step_budget);
  const Found budgeted =
      Search(NestedLoops(WString(20, u'a'), 12) + u"b", WString(40, u'a') + u"b");
  EXPECT_EQ(budgeted.outcome, RegexOutcome::kMatch);
  EXPECT_EQ(budgeted.begin, 0u);
}

}  // namespace
}  // namespace ci
