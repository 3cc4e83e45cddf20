// The system's wide-string type and its character operations: UTF-16 code units
// in every build, case mapping and comparison with ASCII fast paths, decimal
// parsing and (on Windows) bounded formatting. On Windows char16_t and wchar_t
// share size and representation, so the platform sees the same bytes; on Linux
// (32-bit wchar_t) the portable code keeps UTF-16 semantics.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ci {

using WChar = char16_t;
using WString = std::u16string;

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

inline const wchar_t* AsWin(const WString& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline wchar_t* AsWin(WString& s) { return reinterpret_cast<wchar_t*>(&s[0]); }
inline const wchar_t* AsWin(const WChar* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* AsWin(WChar* s) { return reinterpret_cast<wchar_t*>(s); }
inline WString FromWin(const wchar_t* s) {
  return s ? WString(reinterpret_cast<const WChar*>(s)) : WString();
}
inline WString FromWin(const wchar_t* s, size_t length) {
  return WString(reinterpret_cast<const WChar*>(s), length);
}
#endif

// --- Case, comparison and numbers ------------------------------------------------

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

#ifdef _WIN32
// --- Bounded formatting with the platform's wvsprintfW rules (%s, %u, %d, %x, ...)

// The formatter's own limit, terminator included.
constexpr int kMaxFormattedChars = 1024;

// Formats into `dest`. Returns false, leaving `dest` empty, when the text would not
// fit in kMaxFormattedChars - 1 characters (the formatter cannot tell a text of
// exactly that length from a truncated one, so that length counts as too long).
bool Format(WString* dest, const wchar_t* format, ...);
bool FormatV(WString* dest, const wchar_t* format, va_list args);
#endif

}  // namespace ci
