// Bounded formatting with the platform's wvsprintfW rules (%s, %u, %d, %x, ...).
#pragma once

#include <cstdarg>

#include "ci/base/wide_string.h"

namespace ci {

// The formatter's own limit, terminator included.
constexpr int kMaxFormattedChars = 1024;

// Formats into `dest`. Returns false, leaving `dest` empty, when the text would not
// fit in kMaxFormattedChars - 1 characters (the formatter cannot tell a text of
// exactly that length from a truncated one, so that length counts as too long).
bool Format(WString* dest, const wchar_t* format, ...);
bool FormatV(WString* dest, const wchar_t* format, va_list args);

}  // namespace ci
