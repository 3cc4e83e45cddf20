// Security descriptors for the AppID's access permission, as the self-relative
// bytes that the registry value holds.
#pragma once

#include <windows.h>

#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// The descriptor's bytes in self-relative form; an absolute descriptor is
// converted first. The byte count is the descriptor's own length.
HResult SelfRelativeDescriptorBytes(PSECURITY_DESCRIPTOR descriptor, std::vector<BYTE>* bytes);

// The descriptor of an SDDL text (revision 1) as self-relative bytes; a text that
// does not convert gives the platform's error.
HResult DescriptorBytesFromSddl(const WString& sddl, std::vector<BYTE>* bytes);

}  // namespace ci
