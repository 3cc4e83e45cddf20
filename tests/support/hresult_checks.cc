#include "tests/support/hresult_checks.h"

#include <cstdint>
#include <cstdio>

namespace ci {
namespace test {

std::string HResultAsHex(HResult hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X",
                static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
  return text;
}

::testing::AssertionResult HResultIsOk(const char* text, HResult hr) {
  if (hr == kS_OK) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << text << " is " << HResultAsHex(hr) << ", expected S_OK (" << HResultAsHex(kS_OK) << ")";
}

::testing::AssertionResult HResultsEqual(const char* actual_text, const char* expected_text,
                                         HResult actual, HResult expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual_text << " is " << HResultAsHex(actual) << ", expected " << expected_text << " ("
         << HResultAsHex(expected) << ")";
}

::testing::AssertionResult HResultsDiffer(const char* actual_text, const char* other_text,
                                          HResult actual, HResult other) {
  if (actual != other) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual_text << " is " << HResultAsHex(actual)
                                       << ", expected anything but " << other_text;
}

}  // namespace test
}  // namespace ci
