// Case mapping through the platform's character tables.
#include <windows.h>

#include "ci/base/string_utils.h"

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

}  // namespace ci
