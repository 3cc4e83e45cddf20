#include "ci/base/format.h"

#include <windows.h>

namespace ci {

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
