// Off Windows the platform converters are the portable ones.
#include "ci/base/utf8.h"

namespace ci {

WString PlatformUtf8ToUtf16(const char* bytes, std::size_t count) {
  return PortableUtf8ToUtf16(bytes, count);
}

std::string PlatformUtf16ToUtf8(const WChar* text, std::size_t count) {
  return PortableUtf16ToUtf8(text, count);
}

}  // namespace ci
