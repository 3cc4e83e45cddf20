// UTF-8 <-> UTF-16 conversions of message strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ci/base/wide_string.h"

namespace ci {

// Bytes to text: a count of 0 means up to the first zero byte; the text ends at
// its first zero character; a leading byte-order mark is dropped; a conversion
// that fails gives an empty string. Invalid sequences become U+FFFD.
WString Utf8ToWide(const char* bytes, std::size_t count);

// Text (up to its first zero character) to UTF-8; ASCII text is narrowed without
// a platform call. Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const WString& text);

// The platform's converters (MultiByteToWideChar / WideCharToMultiByte with the
// UTF-8 code page and no flags on Windows, the portable ones elsewhere).
WString PlatformUtf8ToUtf16(const char* bytes, std::size_t count);
std::string PlatformUtf16ToUtf8(const WChar* text, std::size_t count);

// The portable converters: each invalid or truncated sequence (a maximal
// subpart) becomes one U+FFFD.
WString PortableUtf8ToUtf16(const char* bytes, std::size_t count);
std::string PortableUtf16ToUtf8(const WChar* text, std::size_t count);

}  // namespace ci
