// HRESULTs of the administrative preferences server in words.
#pragma once

#include <string>

#include "ci/base/hresult.h"

namespace ci {

// "0x80070057" style.
std::string HResultHex(HResult hr);

// A sentence for the results a client of the server meets, with what to do where
// there is something to do; empty for other codes.
std::string DescribeServerResult(HResult hr);

}  // namespace ci
