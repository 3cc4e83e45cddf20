// The parse tree of a pattern, built by the compiler's parser and read by the
// instruction emitter and the literal prefilter. Internal to ci/net.
#pragma once

#include <cstdint>
#include <vector>

namespace ci {

// A node's children always have smaller indices than the node itself: the
// parser adds a node only after its children.
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
  std::uint32_t value = 0;  // character, set index, group (kRegexNoCapture: no capture)
  bool at_least_one = false;
  bool at_most_one = false;
  bool greedy = true;
  std::vector<int> kids;
};

constexpr std::uint32_t kRegexNoCapture = 0xFFFFFFFFu;

}  // namespace ci
