// A check both registration tests make of an access permission's bytes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace ci {
namespace test {

// `bytes` hold one valid self-relative security descriptor and nothing more.
// Call through ASSERT_NO_FATAL_FAILURE to end the test when they do not.
inline void ExpectSelfRelativeDescriptor(const std::vector<BYTE>& bytes) {
  ASSERT_TRUE(::IsValidSecurityDescriptor(const_cast<BYTE*>(bytes.data())));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(const_cast<BYTE*>(bytes.data()), &control, &revision));
  EXPECT_TRUE(control & SE_SELF_RELATIVE);
  EXPECT_EQ(::GetSecurityDescriptorLength(const_cast<BYTE*>(bytes.data())), bytes.size());
}

}  // namespace test
}  // namespace ci
