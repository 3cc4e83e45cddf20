// HRESULTs of the administrative preferences server in words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ci/base/hresult.h"

namespace ci {

// One result code and its sentence.
struct HResultText {
  std::uint32_t code;
  const char* text;
};

// The sentence of `hr` in `table`; empty when the table does not know it.
template <std::size_t N>
std::string FindHResultText(const HResultText (&table)[N], HResult hr) {
  for (const HResultText& known : table) {
    if (static_cast<std::uint32_t>(hr) == known.code) return known.text;
  }
  return std::string();
}

// A sentence for the results a client of the server meets, with what to do where
// there is something to do; empty for other codes.
std::string DescribeServerResult(HResult hr);

}  // namespace ci
