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
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace ci
