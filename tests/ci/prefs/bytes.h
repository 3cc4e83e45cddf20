// Byte strings for the store tests, written as lists of values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace ci {
namespace testing {

inline std::vector<uint8_t> ByteList(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

inline std::vector<uint8_t> ByteList(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace testing
}  // namespace ci
