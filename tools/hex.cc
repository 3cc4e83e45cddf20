#include "tools/hex.h"

#include <cstdio>

namespace ci {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes) {
  std::size_t i = 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() == 2) return false;  // a prefix with nothing after it
    i = 2;
  }
  std::vector<std::uint8_t> out;
  int high = -1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == ':' || c == '-') {
      if (high >= 0) return false;  // a separator inside a pair
      continue;
    }
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    if (high < 0) {
      high = digit;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) return false;
  *bytes = std::move(out);
  return true;
}

std::string FormatHex(const std::uint8_t* bytes, std::size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 3);
  for (std::size_t i = 0; i < size; ++i) {
    if (i != 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

std::string Hex32(std::uint32_t value) {
  char text[11];
  std::snprintf(text, sizeof(text), "0x%08X", value);
  return text;
}

}  // namespace ci
