#include "ci/base/utf8.h"

#include <algorithm>
#include <cstring>

namespace ci {

WString Utf8ToWide(const char* bytes, std::size_t count) {
  if (bytes == nullptr) return WString();
  if (count == 0) count = std::strlen(bytes);
  if (count == 0) return WString();
  WString text = PlatformUtf8ToUtf16(bytes, count);
  const std::size_t zero = text.find(u'\0');
  if (zero != WString::npos) text.resize(zero);
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  return text;
}

std::string WideToUtf8(const WString& text) {
  const std::size_t length = std::min(text.size(), text.find(u'\0'));
  bool ascii = true;
  for (std::size_t i = 0; i < length && ascii; ++i) ascii = text[i] <= 0x7F;
  if (ascii) {
    std::string out(length, '\0');
    for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char>(text[i]);
    return out;
  }
  return PlatformUtf16ToUtf8(text.data(), length);
}

WString PortableUtf8ToUtf16(const char* bytes, std::size_t count) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes);
  const auto* const end = p + count;
  WString out;
  out.reserve(count);
  while (p < end) {
    const std::uint8_t b0 = *p;
    if (b0 < 0x80) {
      out.push_back(b0);
      ++p;
      continue;
    }
    // Sequence length and the allowed range of the second byte (excludes overlong
    // forms, surrogates and values above U+10FFFF).
    int length = 0;
    std::uint8_t lo = 0x80, hi = 0xBF;
    std::uint32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      cp = b0 & 0x0F;
      if (b0 == 0xE0) lo = 0xA0;
      if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      cp = b0 & 0x07;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;
    } else {
      out.push_back(0xFFFD);
      ++p;
      continue;
    }
    ++p;
    int taken = 1;
    for (; taken < length && p < end; ++taken, ++p) {
      const std::uint8_t b = *p;
      if (b < (taken == 1 ? lo : 0x80) || b > (taken == 1 ? hi : 0xBF)) break;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (taken < length) {
      out.push_back(0xFFFD);
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<WChar>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<WChar>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<WChar>(cp));
    }
  }
  return out;
}

std::string PortableUtf16ToUtf8(const WChar* text, std::size_t count) {
  std::string out;
  out.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

#ifndef _WIN32
// Off Windows the platform converters are the portable ones; Windows converts
// through its code-page calls (utf8_win.cc).
WString PlatformUtf8ToUtf16(const char* bytes, std::size_t count) {
  return PortableUtf8ToUtf16(bytes, count);
}

std::string PlatformUtf16ToUtf8(const WChar* text, std::size_t count) {
  return PortableUtf16ToUtf8(text, count);
}
#endif  // _WIN32

}  // namespace ci
