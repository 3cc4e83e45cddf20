#include "tools/registry_text.h"

namespace ci {

WString RegistryText(const std::vector<std::uint8_t>& data) {
  WString text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const WChar c = static_cast<WChar>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

}  // namespace ci
