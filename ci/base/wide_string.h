// The system's wide-string type: UTF-16 code units in every build. On Windows
// char16_t and wchar_t share size and representation, so the platform sees the
// same bytes; on Linux (32-bit wchar_t) the portable code keeps UTF-16 semantics.
#pragma once

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

}  // namespace ci
