// Overwrites secrets held in strings before their storage is released.
#pragma once

#include "ci/base/wide_string.h"

namespace ci {

// Sets every character of `text` to zero through volatile stores, so the writes
// are not dropped as dead before the string is freed; the length is kept.
inline void WipeString(WString* text) {
  volatile WChar* chars = text->empty() ? nullptr : &(*text)[0];
  for (std::size_t i = 0; i < text->size(); ++i) chars[i] = 0;
}

}  // namespace ci
