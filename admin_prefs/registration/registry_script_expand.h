// Replacement of %name% references in a registry script.
#pragma once

#include <cstddef>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// Names of 32 characters or more are refused.
constexpr std::size_t kMaxReplacementNameLength = 31;
// An expanded script larger than this is refused as out of memory: the product's
// scripts are a few kilobytes, so only a runaway expansion reaches it.
constexpr std::size_t kMaxExpandedScriptLength = std::size_t{1} << 22;

// (name, value) pairs; names are compared without regard to case and the first
// pair of a name wins.
class ReplacementMap {
 public:
  void Add(WString name, WString value);
  // The value of `name`, or null when the map has no such name.
  const WString* Find(const WChar* name, std::size_t length) const;
  std::size_t size() const { return pairs_.size(); }

 private:
  struct Pair {
    WString name;
    WString value;
  };
  std::vector<Pair> pairs_;
};

// Replaces every %name% of `text` by its value and every %% by one percent sign.
// DISP_E_EXCEPTION: a % without its closing %, or a name the map lacks.
// E_FAIL: a name of 32 characters or more. E_OUTOFMEMORY: the result would exceed
// `max_length` characters or cannot be allocated.
HResult ExpandReplacements(const WString& text, const ReplacementMap& map, WString* expanded,
                           std::size_t max_length = kMaxExpandedScriptLength);

}  // namespace ci
