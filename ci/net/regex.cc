#include "ci/net/regex.h"

#include <new>
#include <vector>

#include "ci/net/regex_program.h"

namespace ci {

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
