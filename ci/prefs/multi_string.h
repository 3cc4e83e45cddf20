// Parsing of REG_MULTI_SZ data: zero-terminated strings followed by a final zero.
#pragma once

#include <cstddef>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// Fills `list` with the strings of a multi-string block of `byte_count` bytes
// (an odd last byte is ignored). Data of at most one character, or whose first
// character is 0, gives an empty list. Data whose last two characters are not
// both 0 is malformed: E_INVALIDARG with the list left empty.
HResult SplitMultiString(std::size_t byte_count, const WChar* chars, std::vector<WString>* list);

}  // namespace ci
