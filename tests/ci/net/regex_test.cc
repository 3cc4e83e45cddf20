#include <gtest/gtest.h>
#include <pthread.h>

#include <vector>

#include "ci/net/regex.h"
#include "tests/ci/net/regex_test_support.h"

namespace ci {
namespace {

constexpr const char16_t* kNoMatch = nullptr;

struct MatchCase {
  const char16_t* pattern;
  const char16_t* text;
  const char16_t* whole;  // kNoMatch when the search must fail
  std::vector<WString> groups;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
  *os << "/" << Show(c.pattern) << "/ on \"" << Show(c.text) << "\"";
}

class RegexMatchTest : public testing::TestWithParam<MatchCase> {};

TEST_P(RegexMatchTest, FindsTheFirstMatchWithItsGroups) {
  const MatchCase& c = GetParam();
  for (RegexStrategy strategy : {RegexStrategy::kAuto, RegexStrategy::kStepBudget}) {
    const Found found = Search(c.pattern, c.text, strategy);
    ASSERT_EQ(found.error, 0);
    if (c.whole == kNoMatch) {
      EXPECT_EQ(found.outcome, RegexOutcome::kNoMatch) << "matched " << Show(found.whole);
      continue;
    }
    ASSERT_EQ(found.outcome, RegexOutcome::kMatch);
    EXPECT_EQ(Show(found.whole), Show(c.whole));
    ASSERT_GE(found.groups.size(), c.groups.size());
    for (std::size_t g = 0; g < c.groups.size(); ++g) {
      EXPECT_EQ(Show(found.groups[g]), Show(c.groups[g])) << "group " << g;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Literals, RegexMatchTest,
    testing::Values(MatchCase{u"abc", u"xxabcx", u"abc", {}},
                    MatchCase{u"abc", u"xxabx", kNoMatch, {}},
                    MatchCase{u"ABC", u"xAbC", u"AbC", {}},
                    MatchCase{u"{abc}", u"xAbCy", u"AbC", {u"AbC"}},
                    MatchCase{u"\\(\\.\\)", u"a(.)", u"(.)", {}},
                    MatchCase{u"a\\*", u"aa*", u"a*", {}}, MatchCase{u"a)}", u"a)}", u"a)}", {}},
                    MatchCase{u"(a}b)", u"a}b", u"a}b", {}}, MatchCase{u"a]", u"a]", u"a]", {}},
                    MatchCase{u"a!", u"xa!", u"a!", {}}, MatchCase{u"a\\", u"a\\", u"a\\", {}}));

INSTANTIATE_TEST_SUITE_P(Anchors, RegexMatchTest,
                         testing::Values(MatchCase{u"^abc", u"xabc", kNoMatch, {}},
                                         MatchCase{u"^abc", u"abcx", u"abc", {}},
                                         MatchCase{u"abc$", u"abcabc", u"abc", {}},
                                         MatchCase{u"abc$", u"abcx", kNoMatch, {}},
                                         MatchCase{u"a$b", u"xa$b", u"a$b", {}},
                                         MatchCase{u"a^b", u"a^b", u"a^b", {}},
                                         MatchCase{u"^", u"xyz", u"", {}},
                                         MatchCase{u"a\\$", u"a$", u"a$", {}}));

INSTANTIATE_TEST_SUITE_P(
    AnyAndSets, RegexMatchTest,
    testing::Values(
        MatchCase{u"a.c", u"a\nc", u"a\nc", {}}, MatchCase{u"a.c", u"ac", kNoMatch, {}},
        MatchCase{u"[b-d]+", u"abcde", u"bcd", {}}, MatchCase{u"[^a-c]+", u"abcxyz", u"xyz", {}},
        MatchCase{u"[A-C]+", u"xbBcz", u"bBc", {}}, MatchCase{u"[^B]+", u"abc", u"a", {}},
        MatchCase{u"[\\]\\-]+", u"a]-]b", u"]-]", {}}, MatchCase{u"[a-]+", u"x-a-", u"-a-", {}},
        MatchCase{u"[-a]+", u"x-a-", u"-a-", {}}, MatchCase{u"[z-a]", u"m", kNoMatch, {}},
        MatchCase{u"[\u00e0-\u00ff]+", u"x\u00e9\u00c9y", u"\u00e9\u00c9", {}},
        MatchCase{u"[^a]", u"\u4e2d", u"\u4e2d", {}}));

INSTANTIATE_TEST_SUITE_P(
    GroupsAndAlternatives, RegexMatchTest,
    testing::Values(MatchCase{u"{a{b}}{c}", u"abc", u"abc", {u"ab", u"b", u"c"}},
                    MatchCase{u"a|ab", u"ab", u"a", {}},
                    MatchCase{u"{a|ab}{c|bcd}", u"abcd", u"abcd", {u"a", u"bcd"}},
                    MatchCase{u"x(a|b)+y", u"xababy", u"xababy", {}},
                    MatchCase{u"a{}b", u"ab", u"ab", {u""}},
                    MatchCase{u"{x}|{y}", u"y", u"y", {u"", u"y"}}, MatchCase{u"a|", u"b", u"", {}},
                    MatchCase{u"({a}|b)+", u"ab", u"ab", {u"a"}}));

INSTANTIATE_TEST_SUITE_P(Repetition, RegexMatchTest,
                         testing::Values(MatchCase{u"{a*}{a*}", u"aaa", u"aaa", {u"aaa", u""}},
                                         MatchCase{u"{a*?}{a*}", u"aaa", u"aaa", {u"", u"aaa"}},
                                         MatchCase{u"{a+?}", u"aaa", u"a", {u"a"}},
                                         MatchCase{u"{a??}a", u"aa", u"a", {u""}},
                                         MatchCase{u"{a?}a", u"aa", u"aa", {u"a"}},
                                         MatchCase{u"<{.*}>", u"<a><b>", u"<a><b>", {u"a><b"}},
                                         MatchCase{u"<{.*?}>", u"<a><b>", u"<a>", {u"a"}},
                                         MatchCase{u"a*ab", u"aaab", u"aaab", {}},
                                         MatchCase{u"{(|a)*}", u"aa", u"aa", {u"aa"}},
                                         MatchCase{u"{(|a)+}", u"aa", u"aa", {u"aa"}},
                                         MatchCase{u"{(a*)*}b", u"aab", u"aab", {u"aa"}},
                                         MatchCase{u"{a*}*b", u"b", u"b", {u""}},
                                         MatchCase{u"a**", u"aa", u"aa", {}},
                                         MatchCase{u"(ab)+?c", u"ababc", u"ababc", {}}));

INSTANTIATE_TEST_SUITE_P(
    BackReferences, RegexMatchTest,
    testing::Values(MatchCase{u"{a+}b\\0", u"aabaa", u"aabaa", {u"aa"}},
                    MatchCase{u"{a+}b\\0", u"aaba", u"aba", {u"a"}},
                    MatchCase{u"{[a-z]+} \\0", u"say hello HELLO", u"hello HELLO", {u"hello"}},
                    MatchCase{u"\\0{a}", u"a", u"a", {u"a"}},
                    MatchCase{u"{a}|b\\0", u"b", u"b", {u""}},
                    MatchCase{u"{.}\\0", u"abccd", u"cc", {u"c"}}));

INSTANTIATE_TEST_SUITE_P(
    Abbreviations, RegexMatchTest,
    testing::Values(
        MatchCase{u"{\\d+}", u"ab123c", u"123", {u"123"}}, MatchCase{u"\\z", u"x42y", u"42", {}},
        MatchCase{u"\\w", u"12 aBc3", u"aBc", {}}, MatchCase{u"\\a+", u"--aB1--", u"aB1", {}},
        MatchCase{u"\\c+", u"12aB3", u"aB", {}}, MatchCase{u"\\h+", u"xyzBEEFg", u"BEEF", {}},
        MatchCase{u"x\\b+y", u"x \t y", u"x \t y", {}},
        MatchCase{u"a\\nb", u"a\r\nb", u"a\r\nb", {}}, MatchCase{u"a\\nb", u"a\rb", u"a\rb", {}},
        MatchCase{u"a\\nb", u"a\nb", u"a\nb", {}}, MatchCase{u"a\\n\\nb", u"a\r\nb", u"a\r\nb", {}},
        MatchCase{u"\\q", u"x \"a b\" y", u"\"a b\"", {}},
        MatchCase{u"\\q", u"x 'a' y", u"'a'", {}}, MatchCase{u"\\q", u"x \"a' y", kNoMatch, {}},
        // One item, as if in parentheses: the alternation inside stays inside.
        MatchCase{u"a\\qb", u"a\"x\"b", u"a\"x\"b", {}}, MatchCase{u"\\D+", u"a12", u"12", {}},
        MatchCase{u"\\x\\y", u"xy", u"xy", {}}));

INSTANTIATE_TEST_SUITE_P(NotAhead, RegexMatchTest,
                         testing::Values(MatchCase{u"a!b", u"ab ac", u"a", {}},
                                         MatchCase{u"{!(ab).}", u"abc", u"b", {u"b"}},
                                         MatchCase{u"!a*", u"bbb", kNoMatch, {}},
                                         MatchCase{u"{!{a}b}", u"b", u"b", {u"b", u""}},
                                         MatchCase{u"{a}!\\0.", u"aab", u"ab", {u"a"}},
                                         MatchCase{u"!!a.", u"ba", u"a", {}},
                                         MatchCase{u"!!ab", u"ab", kNoMatch, {}},
                                         MatchCase{u"x!", u"x!", u"x!", {}},
                                         MatchCase{u"(x!|y)", u"x!", u"x!", {}}));

struct ErrorCase {
  const char16_t* pattern;
  int error;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << "/" << Show(c.pattern) << "/"; }

class RegexErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(RegexErrorTest, KeepsTheErrorAndMatchesNothing) {
  const AtlRE re(GetParam().pattern);
  EXPECT_EQ(re.error(), GetParam().error);
  WString groups[1];
  EXPECT_FALSE(re.Match(GetParam().pattern, groups, 0, nullptr));
  EXPECT_FALSE(re.Match(u"", groups, 0, nullptr));
}

INSTANTIATE_TEST_SUITE_P(
    All, RegexErrorTest,
    testing::Values(ErrorCase{u"", kRegexNoPattern}, ErrorCase{u"{a", kRegexBraceExpected},
                    ErrorCase{u"{a)", kRegexBraceExpected}, ErrorCase{u"({a)", kRegexBraceExpected},
                    ErrorCase{u"(a", kRegexParenExpected}, ErrorCase{u"(a}", kRegexParenExpected},
                    ErrorCase{u"[a", kRegexBracketExpected},
                    ErrorCase{u"[a-", kRegexBracketExpected},
                    ErrorCase{u"[\\", kRegexBracketExpected}, ErrorCase{u"[]", kRegexEmptySet},
                    ErrorCase{u"[^]", kRegexEmptySet}, ErrorCase{u"\\0", kRegexBadBackReference},
                    ErrorCase{u"{a}\\1", kRegexBadBackReference},
                    ErrorCase{u"*a", kRegexEmptyRepeat}, ErrorCase{u"a|+", kRegexEmptyRepeat},
                    ErrorCase{u"^*", kRegexEmptyRepeat}, ErrorCase{u"()*", kRegexEmptyRepeat},
                    ErrorCase{u"{}+", kRegexEmptyRepeat}, ErrorCase{u"(|)?", kRegexEmptyRepeat},
                    ErrorCase{u"a(*)", kRegexEmptyRepeat}, ErrorCase{u"a!*", kRegexEmptyRepeat}));

TEST(RegexCompile, RefusesNestingBeyondItsLimit) {
  EXPECT_EQ(AtlRE(WString(300, u'(') + u"a" + WString(300, u')')).error(), kRegexOutOfMemory);
  EXPECT_EQ(AtlRE(WString(150, u'(') + u"a" + WString(150, u')')).error(), kRegexOk);
  EXPECT_EQ(AtlRE(u"a" + WString(300, u'*')).error(), kRegexOutOfMemory);
  // Nested "+" copies its operand; the copies are bounded too.
  WString nested = u"a";
  for (int i = 0; i < 40; ++i) nested = u"(" + nested + u")+";
  EXPECT_EQ(AtlRE(nested).error(), kRegexOutOfMemory);
}

// "!" takes the following item, so a chain of them nests like parentheses.
TEST(RegexCompile, RefusesNegationChainsBeyondTheNestingLimit) {
  EXPECT_EQ(AtlRE(WString(5000, u'!') + u"a").error(), kRegexOutOfMemory);
  EXPECT_EQ(AtlRE(WString(201, u'!') + u"a").error(), kRegexOutOfMemory);
  const AtlRE even(WString(150, u'!') + u"a.");  // not not "a", then any character
  ASSERT_EQ(even.error(), kRegexOk);
  WString groups[1];
  EXPECT_TRUE(even.Match(u"ba", groups, 0, nullptr));
  EXPECT_FALSE(even.Match(u"bb", groups, 0, nullptr));
}

// Groups nested `levels` deep, each repeated `repetitions` times ("??" is one
// lazy "?"): within the nesting limit, but each repetition wraps the tree once more.
WString RepeatedNest(int levels, int repetitions) {
  WString pattern = u"a";
  for (int i = 0; i < levels; ++i) {
    pattern = u"(" + pattern + u")";
    for (int r = 0; r < repetitions; ++r) pattern += u"??";
  }
  return pattern;
}

TEST(RegexCompile, RefusesTreesTallerThanItsLimit) {
  EXPECT_EQ(AtlRE(RepeatedNest(100, 50)).error(), kRegexOutOfMemory);
  const AtlRE tall(RepeatedNest(10, 50));
  ASSERT_EQ(tall.error(), kRegexOk);
  EXPECT_TRUE(tall.Match(u"b", nullptr, 0, nullptr));
}

WString Nested(int depth, const WString& inner) {
  return WString(depth, u'(') + inner + WString(depth, u')');
}

// Each level a group holding an alternation whose second branch is a sequence.
WString NestedAlternatives(int depth) {
  WString pattern = u"a";
  for (int i = 0; i < depth; ++i) pattern = u"(x|" + pattern + u"y)z";
  return pattern;
}

struct StackCase {
  WString pattern;
  int error;
  int compiled = -1;
};

void* CompileOnThisThread(void* cases) {
  for (StackCase* c = static_cast<StackCase*>(cases); !c->pattern.empty(); ++c) {
    const AtlRE re(c->pattern);
    c->compiled = re.error();
    re.Match(u"'x'", nullptr, 0, nullptr);
  }
  return nullptr;
}

// 1 MiB is the platform's default thread stack (the largest patterns need a
// quarter of it); AddressSanitizer makes frames about eight times larger.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VU_REGEX_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VU_REGEX_TEST_ASAN)
constexpr std::size_t kPlatformStack = std::size_t(8) << 20;
#else
constexpr std::size_t kPlatformStack = std::size_t(1) << 20;
#endif

TEST(RegexCompile, TheLargestPatternsCompileOnThePlatformsThreadStack) {
  StackCase cases[] = {
      {Nested(200, u"a"), kRegexOk},
      {Nested(201, u"a"), kRegexOutOfMemory},
      {Nested(197, u"\\q"), kRegexOk},  // the abbreviation nests two levels further
      {Nested(198, u"\\q"), kRegexOutOfMemory},
      {NestedAlternatives(199), kRegexOk},
      {WString(200, u'!') + u"a", kRegexOk},
      {WString(100000, u'!') + u"a", kRegexOutOfMemory},
      {RepeatedNest(19, 50), kRegexOk},
      {RepeatedNest(100, 50), kRegexOutOfMemory},
      {WString(), 0},
  };
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, kPlatformStack), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, CompileOnThisThread, cases), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attributes);
  for (const StackCase& c : cases) {
    if (!c.pattern.empty()) {
      EXPECT_EQ(c.compiled, c.error) << Show(c.pattern.substr(0, 40));
    }
  }
}

TEST(RegexCompile, NullPatternIsNoPattern) {
  const AtlRE re(static_cast<const WChar*>(nullptr));
  EXPECT_EQ(re.error(), kRegexNoPattern);
  EXPECT_FALSE(re.Match(u"a", nullptr, 0, nullptr));
}

TEST(RegexCompile, CountsGroupsAndBackReferences) {
  EXPECT_EQ(AtlRE(u"{a}(b){c{d}}").group_count(), 3);
  EXPECT_FALSE(AtlRE(u"{a}").has_back_references());
  EXPECT_TRUE(AtlRE(u"{a}\\0").has_back_references());
}

// The walk protocol of Match.
TEST(RegexMatch, NullTextFails) {
  const AtlRE re(u"a");
  WString groups[1];
  EXPECT_FALSE(re.Match(nullptr, groups, 0, nullptr));
}

TEST(RegexMatch, GroupCountBeyondTheExpressionFailsAndLeavesGroups) {
  const AtlRE re(u"{a}");
  WString groups[2] = {u"keep", u"keep"};
  EXPECT_FALSE(re.Match(u"a", groups, 2, nullptr));
  EXPECT_FALSE(re.Match(u"a", groups, -1, nullptr));
  EXPECT_FALSE(re.Match(u"a", nullptr, 1, nullptr));
  EXPECT_EQ(groups[0], u"keep");
  EXPECT_TRUE(re.Match(u"a", groups, 1, nullptr));
  EXPECT_EQ(groups[0], u"a");
  EXPECT_EQ(groups[1], u"keep");
}

TEST(RegexMatch, FewerGroupsThanTheExpressionHasIsFine) {
  const AtlRE re(u"{a}{b}");
  WString groups[1];
  EXPECT_TRUE(re.Match(u"ab", groups, 1, nullptr));
  EXPECT_EQ(groups[0], u"a");
  EXPECT_TRUE(re.Match(u"ab", nullptr, 0, nullptr));
}

TEST(RegexMatch, GroupThatTookNoPartIsEmptied) {
  const AtlRE re(u"{x}|{y}");
  WString groups[2] = {u"old", u"old"};
  ASSERT_TRUE(re.Match(u"y", groups, 2, nullptr));
  EXPECT_EQ(groups[0], u"");
  EXPECT_EQ(groups[1], u"y");
}

TEST(RegexMatch, NextPointsAfterTheMatchAndIsNullAtTheEnd) {
  const AtlRE re(u"{\\d+}");
  const WChar* text = u"a12b345";
  const WChar* next = text;
  WString groups[1];
  ASSERT_TRUE(re.Match(text, groups, 1, &next));
  EXPECT_EQ(groups[0], u"12");
  EXPECT_EQ(next, text + 3);
  ASSERT_TRUE(re.Match(next, groups, 1, &next));
  EXPECT_EQ(groups[0], u"345");
  EXPECT_EQ(next, nullptr);
  EXPECT_FALSE(re.Match(next, groups, 1, &next));
}

TEST(RegexMatch, WalkOverEmptyMatchesEnds) {
  const AtlRE re(u"x*");
  const WChar* text = u"ab";
  const WChar* next = text;
  int matches = 0;
  while (matches < 10 && re.Match(next, nullptr, 0, &next)) ++matches;
  EXPECT_EQ(matches, 2);
  EXPECT_EQ(next, nullptr);
}

// Unlike a further iteration of * or +, the one iteration of ? may take no text.
TEST(RegexMatch, OptionalTakesAnOperandThatMatchesEmptyText) {
  for (RegexStrategy strategy : {RegexStrategy::kAuto, RegexStrategy::kStepBudget}) {
    const Found optional = Search(u"{a*}?b", u"b", strategy);
    ASSERT_EQ(optional.outcome, RegexOutcome::kMatch);
    EXPECT_TRUE(optional.participated[0]);
    const Found star = Search(u"({a*})*b", u"b", strategy);
    ASSERT_EQ(star.outcome, RegexOutcome::kMatch);
    EXPECT_FALSE(star.participated[0]);
  }
}

TEST(RegexMatch, EmptyTextCanMatchEmptyPattern) {
  const AtlRE re(u"a*");
  const WChar* next = u"sentinel";
  EXPECT_TRUE(re.Match(u"", nullptr, 0, &next));
  EXPECT_EQ(next, nullptr);
  EXPECT_FALSE(AtlRE(u"a").Match(u"", nullptr, 0, nullptr));
}

}  // namespace
}  // namespace ci
