// Shared by the regular-expression tests: compile-and-search in one call, and
// readable names for UTF-16 texts in failure messages.
#pragma once

#include <string>
#include <vector>

#include "ci/base/utf8.h"
#include "ci/net/regex_program.h"

namespace ci {

struct Found {
  int error = 0;
  RegexOutcome outcome = RegexOutcome::kNoMatch;
  WString whole;
  std::vector<WString> groups;  // empty text for a group that took no part
  std::vector<bool> participated;
  std::size_t begin = 0;
  std::size_t end = 0;
  RegexWork work;                       // whatever the outcome
  std::size_t states_per_position = 0;  // of the compiled program
  bool needs_step_budget = false;
};

inline Found Search(const WString& pattern, const WString& text,
                    RegexStrategy strategy = RegexStrategy::kAuto,
                    const RegexLimits& limits = RegexLimits()) {
  Found found;
  RegexProgram program;
  found.error = CompileRegex(pattern.c_str(), &program);
  if (found.error) return found;
  found.states_per_position = program.states_per_position;
  found.needs_step_budget = program.needs_step_budget;
  RegexMatchSpan span;
  found.outcome = SearchRegex(program, text.c_str(), limits, strategy, &span, &found.work);
  if (found.outcome != RegexOutcome::kMatch) return found;
  found.begin = span.begin;
  found.end = span.end;
  found.whole = text.substr(span.begin, span.end - span.begin);
  for (int g = 0; g < program.group_count; ++g) {
    const bool took_part = span.groups[2 * g] >= 0;
    found.participated.push_back(took_part);
    found.groups.push_back(
        took_part ? text.substr(span.groups[2 * g], span.groups[2 * g + 1] - span.groups[2 * g])
                  : WString());
  }
  return found;
}

inline std::string Show(const WString& s) {
  std::string out;
  for (char16_t c : s) {
    if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\t') {
      out += "\\t";
    } else {
      out += WideToUtf8(WString(1, c));
    }
  }
  return out;
}

}  // namespace ci
