#include "tools/option_table.h"

namespace ci {

bool ParseNumberInRange(const std::string& text, long long low, long long high, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

bool ParseSecondsAsMs(const std::string& text, std::uint32_t max_seconds, std::uint32_t* ms) {
  const std::size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string places = point == std::string::npos ? std::string() : text.substr(point + 1);
  if (whole.empty() || whole.find_first_not_of("0123456789") != std::string::npos ||
      (point != std::string::npos &&
       (places.empty() || places.size() > 3 ||
        places.find_first_not_of("0123456789") != std::string::npos))) {
    return false;
  }
  long long seconds = 0;
  if (!ParseNumberInRange(whole, 0, max_seconds, &seconds)) return false;
  const long long fraction_ms = places.empty() ? 0 : std::stoll((places + "00").substr(0, 3));
  const long long total = seconds * 1000 + fraction_ms;
  if (total > static_cast<long long>(max_seconds) * 1000) return false;
  *ms = static_cast<std::uint32_t>(total);
  return true;
}

}  // namespace ci
