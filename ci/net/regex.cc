#include "ci/net/regex.h"

namespace ci {

struct RegexProgram {
  int group_count = 0;
  bool back_references = false;
};

AtlRE::AtlRE(const WChar* pattern, std::uint64_t step_budget) : step_budget_(step_budget) {}

AtlRE::AtlRE(const WString& pattern, std::uint64_t step_budget)
    : AtlRE(pattern.c_str(), step_budget) {}

AtlRE::~AtlRE() = default;

int AtlRE::group_count() const { return program_ ? program_->group_count : 0; }

bool AtlRE::has_back_references() const { return program_ && program_->back_references; }

bool AtlRE::Match(const WChar* text, WString* groups, int group_count, const WChar** next) const {
  return false;
}

}  // namespace ci
