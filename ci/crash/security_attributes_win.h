// Open security attributes for kernel objects that every account must reach.
#pragma once

#include <windows.h>

namespace ci {

// One process-wide record (handle not inheritable) whose descriptor carries a
// present but null DACL. Built on the first successful call and reused; null when
// the descriptor could not be set up, and the next call tries again.
SECURITY_ATTRIBUTES* NullDaclSecurityAttributes();

}  // namespace ci
