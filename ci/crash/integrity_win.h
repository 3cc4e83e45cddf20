// The integrity level of the running process.
#pragma once

#include "ci/base/wide_string.h"

namespace ci {

// The string form of the process token's integrity label ("S-1-16-12288" for
// high). False when any step of the query fails.
bool QueryProcessIntegritySid(WString* sid);

// True only on a system of the Vista class whose process token carries the low
// label "S-1-16-4096"; any failure of the query counts as not low.
bool IsLowIntegrityProcess();

}  // namespace ci
