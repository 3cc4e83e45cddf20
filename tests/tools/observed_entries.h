// Registry entries as doctor's Windows side would read them, for its tests.
#pragma once

#include <cstdint>

#include "tools/registration_expectations.h"

namespace ci {
namespace test {

// A REG_SZ value holding `text`, with its terminator.
inline ObservedEntry TextEntry(const WString& text) {
  ObservedEntry entry;
  entry.key_present = entry.value_present = true;
  entry.type = 1;
  for (WChar c : text + u'\0') {
    entry.data.push_back(static_cast<std::uint8_t>(c & 0xFF));
    entry.data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return entry;
}

// A REG_DWORD value.
inline ObservedEntry NumberEntry(std::uint32_t value) {
  ObservedEntry entry;
  entry.key_present = entry.value_present = true;
  entry.type = 4;
  for (int i = 0; i < 4; ++i) entry.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return entry;
}

}  // namespace test
}  // namespace ci
