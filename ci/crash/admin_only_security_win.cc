#include "ci/crash/admin_only_security_win.h"

namespace ci {

AdminsAndSystemOnly::AdminsAndSystemOnly() : ok_(Build()) {}

bool AdminsAndSystemOnly::Build() {
  DWORD administrators_size = sizeof(administrators_);
  DWORD system_size = sizeof(system_);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators_,
                            &administrators_size) ||
      !::CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &system_size)) {
    return false;
  }
  if (!::InitializeAcl(&acl_.header, sizeof(acl_.bytes), ACL_REVISION) ||
      !::AddAccessAllowedAce(&acl_.header, ACL_REVISION, FILE_ALL_ACCESS, administrators_) ||
      !::AddAccessAllowedAce(&acl_.header, ACL_REVISION, FILE_ALL_ACCESS, system_)) {
    return false;
  }
  if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor_, TRUE, &acl_.header, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return false;
  }
  attributes_.nLength = sizeof(attributes_);
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
  return true;
}

}  // namespace ci
