// GoogleTest checks of HRESULTs. A failure names the expression and shows each
// result as 0x8007000E (eight upper-case hexadecimal digits), the form the
// platform's documentation and error tables use.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ci/base/hresult.h"

namespace ci {
namespace test {

::testing::AssertionResult HResultIsOk(const char* text, HResult hr);
::testing::AssertionResult HResultsEqual(const char* actual_text, const char* expected_text,
                                         HResult actual, HResult expected);
::testing::AssertionResult HResultsDiffer(const char* actual_text, const char* other_text,
                                          HResult actual, HResult other);

}  // namespace test
}  // namespace ci

// `expr` is S_OK (exactly: S_FALSE fails too).
#define EXPECT_HR_OK(expr) EXPECT_PRED_FORMAT1(::ci::test::HResultIsOk, expr)
#define ASSERT_HR_OK(expr) ASSERT_PRED_FORMAT1(::ci::test::HResultIsOk, expr)
#define EXPECT_HR_EQ(actual, expected) \
  EXPECT_PRED_FORMAT2(::ci::test::HResultsEqual, actual, expected)
#define ASSERT_HR_EQ(actual, expected) \
  ASSERT_PRED_FORMAT2(::ci::test::HResultsEqual, actual, expected)
#define EXPECT_HR_NE(actual, other) EXPECT_PRED_FORMAT2(::ci::test::HResultsDiffer, actual, other)
#define ASSERT_HR_NE(actual, other) ASSERT_PRED_FORMAT2(::ci::test::HResultsDiffer, actual, other)
