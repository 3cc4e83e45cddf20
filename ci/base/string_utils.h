// Character and string helpers on UTF-16 text with ASCII fast paths.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ci/base/wide_string.h"

namespace ci {

// ASCII letters mapped directly; other characters from 0x80 on through the
// platform's single-character case mapping.
WChar ToUpperChar(WChar c);
WChar ToLowerChar(WChar c);

// Lower-cases `s` in place (the whole string through the platform mapping when any
// character is 0x80 or above) and returns it.
WString& LowerCaseInPlace(WString& s);

// Compares at most `count` characters of two zero-terminated strings, stopping at
// the first difference or after a 0 in `a`; returns the difference of the last
// pair compared (a minus b), 0 when count is 0.
int CompareChars(const WChar* a, const WChar* b, std::size_t count, bool ignore_case);

// Position of the first occurrence of `pattern` in `text`, compared with
// ToUpperChar on both sides; WString::npos when absent.
std::size_t FindIgnoreCase(const WString& text, const WString& pattern);

// 0 to 9 for the digits '0' to '9', -1 for anything else.
int DigitValue(WChar c);

// Reads an optionally signed decimal number after leading spaces, clamped to the
// int32 range. `end` (optional) receives the position after the number, or the
// start of the string when there was no digit.
std::int32_t ParseDecimal(const WChar* s, const WChar** end = nullptr);

// Single-character and whole-string case mapping of the platform (CharUpperW and
// CharLowerW on Windows, an equivalent table elsewhere).
WChar PlatformCharUpper(WChar c);
WChar PlatformCharLower(WChar c);
void PlatformLowerString(WString& s);

}  // namespace ci
