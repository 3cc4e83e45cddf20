// The HRESULT checks: what a failure says, and that they pass and fail where
// they should.
#include "tests/support/hresult_checks.h"

#include <gtest/gtest-spi.h>

namespace ci {
namespace test {
namespace {

HResult OutOfMemory() { return kE_OUTOFMEMORY; }

TEST(HResultChecks, HexFormHasEightUpperCaseDigits) {
  EXPECT_EQ(HResultHex(kS_OK), "0x00000000");
  EXPECT_EQ(HResultHex(kS_FALSE), "0x00000001");
  EXPECT_EQ(HResultHex(kE_OUTOFMEMORY), "0x8007000E");
  EXPECT_EQ(HResultHex(static_cast<HResult>(0xFFFFFFFFu)), "0xFFFFFFFF");
}

TEST(HResultChecks, PassingChecksReportNothing) {
  EXPECT_HR_OK(kS_OK);
  ASSERT_HR_OK(kS_OK);
  EXPECT_HR_EQ(OutOfMemory(), kE_OUTOFMEMORY);
  ASSERT_HR_EQ(OutOfMemory(), kE_OUTOFMEMORY);
  EXPECT_HR_NE(OutOfMemory(), kS_OK);
}

TEST(HResultChecks, FailedOkCheckNamesTheExpressionAndItsHexValue) {
  EXPECT_NONFATAL_FAILURE(EXPECT_HR_OK(OutOfMemory()), "OutOfMemory() is 0x8007000E");
  EXPECT_NONFATAL_FAILURE(EXPECT_HR_OK(kS_FALSE), "0x00000001, expected S_OK");
  EXPECT_FATAL_FAILURE(ASSERT_HR_OK(OutOfMemory()), "0x8007000E");
}

TEST(HResultChecks, FailedComparisonShowsBothResultsInHex) {
  EXPECT_NONFATAL_FAILURE(EXPECT_HR_EQ(OutOfMemory(), kE_INVALIDARG),
                          "OutOfMemory() is 0x8007000E, expected kE_INVALIDARG (0x80070057)");
  EXPECT_FATAL_FAILURE(ASSERT_HR_EQ(kS_OK, kE_FAIL), "0x00000000, expected kE_FAIL (0x80004005)");
  EXPECT_NONFATAL_FAILURE(EXPECT_HR_NE(OutOfMemory(), kE_OUTOFMEMORY),
                          "0x8007000E, expected anything but kE_OUTOFMEMORY");
}

}  // namespace
}  // namespace test
}  // namespace ci
