// Byte strings in tests, written as lists of values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace ci {
namespace test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ByteList(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

inline Bytes ByteList(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The same bytes in a std::string, for the interfaces that carry messages as text.
inline std::string ByteString(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace test
}  // namespace ci
