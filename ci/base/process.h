// Starting another program of the product.
#pragma once

#include <windows.h>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// Starts the program at `path` (used as it stands: not quoted, split or searched
// for) with no arguments, no window and without waiting for it. On success the
// caller owns both handles in `info` and closes them; on failure `info` is zeroed
// and the result is the platform's error as an HRESULT.
HResult RunProgram(const WString& path, PROCESS_INFORMATION* info);

}  // namespace ci
