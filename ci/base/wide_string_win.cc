// The platform's halves of the wide-string operations: case mapping through its
// character tables and formatting through wvsprintfW.
#include <windows.h>

#include "ci/base/wide_string.h"

namespace ci {

WChar PlatformCharUpper(WChar c) {
  // CharUpperW maps a single character passed in the low word of the pointer.
  return static_cast<WChar>(
      reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

WChar PlatformCharLower(WChar c) {
  return static_cast<WChar>(
      reinterpret_cast<ULONG_PTR>(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

void PlatformLowerString(WString& s) {
  // Like the platform call on a C string: stops at the first zero character.
  if (!s.empty()) CharLowerW(AsWin(s));
}

bool FormatV(WString* dest, const wchar_t* format, va_list args) {
  dest->clear();
  wchar_t scratch[kMaxFormattedChars];
  va_list first;
  va_copy(first, args);
  ::SetLastError(0);
  const int length = ::wvsprintfW(scratch, format, first);
  va_end(first);
  if (length < 0 || length >= kMaxFormattedChars - 1) return false;

  dest->resize(static_cast<size_t>(length) + 1);
  ::SetLastError(0);
  const int again = ::wvsprintfW(AsWin(*dest), format, args);
  if (again != length) {
    dest->clear();
    return false;
  }
  dest->resize(static_cast<size_t>(length));
  return true;
}

bool Format(WString* dest, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = FormatV(dest, format, args);
  va_end(args);
  return ok;
}

}  // namespace ci
