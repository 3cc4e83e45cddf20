// The access permission's descriptor bytes, from SDDL and from an absolute
// descriptor.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "admin_prefs/registration/access_permission_win.h"
#include "admin_prefs/registration/registration.h"
#include "tests/admin_prefs/registration/self_relative_descriptor.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

TEST(AccessPermission, SddlBecomesASelfRelativeDescriptor) {
  std::vector<BYTE> bytes;
  ASSERT_HR_OK(DescriptorBytesFromSddl(kAccessPermissionSddl, &bytes));
  ASSERT_NO_FATAL_FAILURE(test::ExpectSelfRelativeDescriptor(bytes));

  EXPECT_TRUE(Failed(DescriptorBytesFromSddl(u"O:BAG:BAD:(nonsense)", &bytes)));
}

TEST(AccessPermission, AbsoluteDescriptorIsMadeSelfRelative) {
  // An absolute descriptor: owner Administrators, an empty access list.
  SECURITY_DESCRIPTOR absolute;
  ASSERT_TRUE(::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sid_size = sizeof(sid);
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sid_size));
  ASSERT_TRUE(::SetSecurityDescriptorOwner(&absolute, sid, FALSE));
  ACL acl;
  ASSERT_TRUE(::InitializeAcl(&acl, sizeof(acl), ACL_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&absolute, TRUE, &acl, FALSE));

  std::vector<BYTE> bytes;
  ASSERT_HR_OK(SelfRelativeDescriptorBytes(&absolute, &bytes));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(bytes.data(), &control, &revision));
  EXPECT_TRUE(control & SE_SELF_RELATIVE);
  EXPECT_EQ(::GetSecurityDescriptorLength(bytes.data()), bytes.size());
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(::GetSecurityDescriptorOwner(bytes.data(), &owner, &defaulted));
  EXPECT_TRUE(::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
}

}  // namespace
}  // namespace ci
