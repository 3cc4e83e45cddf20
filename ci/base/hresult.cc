#include "ci/base/hresult.h"

#include <cstdio>

namespace ci {

std::string HResultHex(HResult hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X",
                static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
  return text;
}

}  // namespace ci
