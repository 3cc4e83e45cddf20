// UTF-8 conversions through the platform's code-page converters.
#include <windows.h>

#include <climits>

#include "ci/base/utf8.h"

namespace ci {

WString PlatformUtf8ToUtf16(const char* bytes, std::size_t count) {
  if (count == 0 || count > INT_MAX) return WString();
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), nullptr, 0);
  if (n <= 0) return WString();
  WString text(static_cast<std::size_t>(n), u'\0');
  const int written =
      MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), AsWin(text), n);
  if (written <= 0) return WString();
  text.resize(static_cast<std::size_t>(written));
  return text;
}

std::string PlatformUtf16ToUtf8(const WChar* text, std::size_t count) {
  if (count == 0 || count > INT_MAX / 4) return std::string();
  const int m = WideCharToMultiByte(CP_UTF8, 0, AsWin(text), static_cast<int>(count), nullptr, 0,
                                    nullptr, nullptr);
  if (m <= 0) return std::string();
  std::string out(static_cast<std::size_t>(m), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, AsWin(text), static_cast<int>(count), &out[0],
                                          m, nullptr, nullptr);
  if (written <= 0) return std::string();
  out.resize(static_cast<std::size_t>(written));
  return out;
}

}  // namespace ci
