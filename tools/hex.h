// Hexadecimal text for message bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ci {

// Reads pairs of hexadecimal digits in either case; spaces, colons and hyphens
// between pairs are ignored, as is a leading "0x". False (and `bytes` untouched)
// for any other character or an odd number of digits.
bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes);

// Upper-case pairs separated by single spaces ("10 01 12").
std::string FormatHex(const std::uint8_t* bytes, std::size_t size);
inline std::string FormatHex(const std::vector<std::uint8_t>& bytes) {
  return FormatHex(bytes.data(), bytes.size());
}

// "0x" and eight upper-case digits ("0x00000002").
std::string Hex32(std::uint32_t value);

}  // namespace ci
