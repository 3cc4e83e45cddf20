#include "ci/prefs/multi_string.h"

namespace ci {

HResult SplitMultiString(std::size_t byte_count, const WChar* chars, std::vector<WString>* list) {
  list->clear();
  const std::size_t n = byte_count / 2;
  if (n <= 1) return kS_OK;
  // Both final characters must be 0; that also bounds every scan below.
  if (chars[n - 1] != 0 || chars[n - 2] != 0) return kE_INVALIDARG;
  std::size_t pos = 0;
  while (chars[pos] != 0) {
    WString item(chars + pos);
    pos += item.size() + 1;
    list->push_back(std::move(item));
  }
  return kS_OK;
}

}  // namespace ci
