// Regular expressions on (pattern, text) pairs: the bytes before the first zero
// byte are the pattern, the rest the text (bytes from 0xF0 on stand for
// characters beyond ASCII). Every match of the walk must lie inside the text,
// and the visited-states search must agree with plain backtracking whenever the
// latter finishes within its budget, also when tiny memory limits make it fall
// back to plain backtracking part way.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ci/net/regex.h"
#include "ci/net/regex_program.h"

namespace {

ci::WString Characters(const std::uint8_t* data, std::size_t size) {
  ci::WString s;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) continue;
    s += data[i] >= 0xF0 ? static_cast<char16_t>(0x00C0 + (data[i] & 0x0F) * 0x111) : data[i];
  }
  return s;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CompareStrategies(const ci::WString& pattern, const ci::WString& text) {
  ci::RegexProgram program;
  if (ci::CompileRegex(pattern.c_str(), &program) != 0 || program.needs_step_budget) return;
  ci::RegexLimits limits;
  limits.step_budget = 20000;
  ci::RegexMatchSpan fast, plain;
  const ci::RegexOutcome plain_outcome =
      ci::SearchRegex(program, text.c_str(), limits, ci::RegexStrategy::kStepBudget, &plain);
  if (plain_outcome == ci::RegexOutcome::kLimitReached) return;
  // The plain rest of a fallen-back search does part of what the whole plain
  // search did, so it cannot run out of budget either.
  ci::RegexLimits cramped = limits;
  cramped.max_visited_bits = 1 << 10;
  for (const ci::RegexLimits& visited_limits : {limits, cramped}) {
    const ci::RegexOutcome fast_outcome = ci::SearchRegex(program, text.c_str(), visited_limits,
                                                          ci::RegexStrategy::kVisitedPairs, &fast);
    Check(fast_outcome == plain_outcome);
    if (fast_outcome != ci::RegexOutcome::kMatch) continue;
    Check(fast.begin == plain.begin && fast.end == plain.end && fast.groups == plain.groups);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t* split = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::size_t pattern_size = split ? static_cast<std::size_t>(split - data) : size;
  const ci::WString pattern = Characters(data, pattern_size);
  const ci::WString text = split ? Characters(split + 1, size - pattern_size - 1) : ci::WString();

  const ci::AtlRE re(pattern, 20000);
  ci::WString groups[10];
  const int group_count = re.group_count() < 10 ? re.group_count() : 10;
  const ci::WChar* begin = text.c_str();
  const ci::WChar* end = begin + text.size();
  const ci::WChar* next = begin;
  for (int walked = 0; next != nullptr && walked < 16; ++walked) {
    const ci::WChar* from = next;
    if (!re.Match(from, groups, group_count, &next)) break;
    Check(next == nullptr || (next > from && next < end));
    for (int g = 0; g < group_count; ++g) Check(groups[g].size() <= text.size());
  }
  CompareStrategies(pattern, text);
  return 0;
}
