// The messages the concurrent load clients send; the stored values must be one of
// them afterwards. All are canonical encodings, so the server stores them as sent.
#pragma once

#include <string>
#include <vector>

namespace ci {
namespace test {

inline const std::vector<std::string>& LoadPreferenceMessages() {
  static const std::vector<std::string> messages = {
      std::string("\x10\x01", 2),
      std::string("\x10\x00", 2),
      std::string("\x08\x01\x10\x01", 4),
      std::string("\x18\x00\x20\x01", 4),
      std::string("\x08\x00\x10\x01\x18\x01\x20\x00\x28\x01", 10),
  };
  return messages;
}

inline const std::vector<std::string>& LoadProxyMessages() {
  static const std::vector<std::string> messages = {
      std::string("\x08\x01", 2),
      std::string("\x08\x00\x1D\x90\x1F\x00\x00", 7),
      std::string("\x08\x00\x12\x0Dproxy.example\x1D\x50\x00\x00\x00", 22),
      std::string("\x08\x01\x30\x00", 4),
  };
  return messages;
}

constexpr int kLoadCallsPerClient = 10;

}  // namespace test
}  // namespace ci
