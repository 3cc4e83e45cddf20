#include "ci/crash/security_attributes_win.h"

namespace ci {
namespace {

SECURITY_DESCRIPTOR g_null_dacl_descriptor;
SECURITY_ATTRIBUTES g_null_dacl_attributes;
bool g_null_dacl_ready = false;

}  // namespace

SECURITY_ATTRIBUTES* NullDaclSecurityAttributes() {
  if (!g_null_dacl_ready) {
    if (!::InitializeSecurityDescriptor(&g_null_dacl_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&g_null_dacl_descriptor, TRUE, nullptr, FALSE)) {
      return nullptr;
    }
    g_null_dacl_attributes.nLength = sizeof(g_null_dacl_attributes);
    g_null_dacl_attributes.lpSecurityDescriptor = &g_null_dacl_descriptor;
    g_null_dacl_attributes.bInheritHandle = FALSE;
    g_null_dacl_ready = true;
  }
  return &g_null_dacl_attributes;
}

}  // namespace ci
