#include "admin_prefs/registration/access_permission_win.h"

#include <sddl.h>

#include "ci/base/hresult.h"
#include "ci/base/win_handles.h"

namespace ci {
HResult SelfRelativeDescriptorBytes(PSECURITY_DESCRIPTOR descriptor, std::vector<BYTE>* bytes) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!::GetSecurityDescriptorControl(descriptor, &control, &revision))
    return HResultFromFailedCall();
  if (control & SE_SELF_RELATIVE) {
    const BYTE* begin = static_cast<const BYTE*>(descriptor);
    bytes->assign(begin, begin + ::GetSecurityDescriptorLength(descriptor));
    return kS_OK;
  }
  DWORD length = 0;
  ::MakeSelfRelativeSD(descriptor, nullptr, &length);
  if (length == 0) return HResultFromFailedCall();
  std::vector<BYTE> converted(length);
  if (!::MakeSelfRelativeSD(descriptor, converted.data(), &length)) return HResultFromFailedCall();
  converted.resize(::GetSecurityDescriptorLength(converted.data()));
  bytes->swap(converted);
  return kS_OK;
}

HResult DescriptorBytesFromSddl(const WString& sddl, std::vector<BYTE>* bytes) {
  UniqueLocalMemory descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          AsWin(sddl), SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
          nullptr)) {
    return HResultFromFailedCall();
  }
  return SelfRelativeDescriptorBytes(descriptor.get(), bytes);
}

}  // namespace ci
