#include "tests/support/hresult_checks.h"

#include <cstdint>

namespace ci {
namespace test {

::testing::AssertionResult HResultIsOk(const char* text, HResult hr) {
  if (hr == kS_OK) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << text << " is " << HResultHex(hr) << ", expected S_OK (" << HResultHex(kS_OK) << ")";
}

::testing::AssertionResult HResultsEqual(const char* actual_text, const char* expected_text,
                                         HResult actual, HResult expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual_text << " is " << HResultHex(actual) << ", expected " << expected_text << " ("
         << HResultHex(expected) << ")";
}

::testing::AssertionResult HResultsDiffer(const char* actual_text, const char* other_text,
                                          HResult actual, HResult other) {
  if (actual != other) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual_text << " is " << HResultHex(actual) << ", expected anything but " << other_text;
}

}  // namespace test
}  // namespace ci
