#include "admin_prefs/registration/registry_script_expand.h"

#include <new>
#include <stdexcept>

#include "ci/base/wide_string.h"

namespace ci {

void ReplacementMap::Add(WString name, WString value) {
  pairs_.push_back(Pair{std::move(name), std::move(value)});
}

const WString* ReplacementMap::Find(const WChar* name, std::size_t length) const {
  for (const Pair& pair : pairs_) {
    if (pair.name.size() != length) continue;
    std::size_t i = 0;
    while (i < length && ToUpperChar(pair.name[i]) == ToUpperChar(name[i])) ++i;
    if (i == length) return &pair.value;
  }
  return nullptr;
}

namespace {

HResult Expand(const WString& text, const ReplacementMap& map, WString* out,
               std::size_t max_length) {
  out->clear();
  out->reserve(text.size() < max_length ? text.size() : max_length);
  const auto append = [&](const WChar* chars, std::size_t count) {
    if (count > max_length - out->size()) return false;
    out->append(chars, count);
    return true;
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t percent = text.find(u'%', pos);
    const std::size_t literal_end = percent == WString::npos ? text.size() : percent;
    if (!append(text.data() + pos, literal_end - pos)) return kE_OUTOFMEMORY;
    if (percent == WString::npos) break;

    if (percent + 1 < text.size() && text[percent + 1] == u'%') {
      if (!append(u"%", 1)) return kE_OUTOFMEMORY;
      pos = percent + 2;
      continue;
    }
    const std::size_t close = text.find(u'%', percent + 1);
    if (close == WString::npos) return kDISP_E_EXCEPTION;
    const std::size_t name_length = close - percent - 1;
    if (name_length > kMaxReplacementNameLength) return kE_FAIL;
    const WString* value = map.Find(text.data() + percent + 1, name_length);
    if (value == nullptr) return kDISP_E_EXCEPTION;
    if (!append(value->data(), value->size())) return kE_OUTOFMEMORY;
    pos = close + 1;
  }
  return kS_OK;
}

}  // namespace

HResult ExpandReplacements(const WString& text, const ReplacementMap& map, WString* expanded,
                           std::size_t max_length) {
  try {
    WString out;
    const HResult hr = Expand(text, map, &out, max_length);
    if (Succeeded(hr)) expanded->swap(out);
    return hr;
  } catch (const std::bad_alloc&) {
    return kE_OUTOFMEMORY;
  } catch (const std::length_error&) {
    return kE_OUTOFMEMORY;
  }
}

}  // namespace ci
