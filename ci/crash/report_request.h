// The crash report's HTTP request: its path, its content type header and the
// size limits of the dump it carries. Platform-free.
#pragma once

#include <cstdint>

#include "ci/base/wide_string.h"

namespace ci {

// Plain HTTP to the crash-report server.
constexpr int kReportPort = 80;
// The largest dump that is sent (256 KiB); a larger one stays on disk only.
constexpr std::uint64_t kMaxReportBytes = 0x40000;

// True for a dump size worth sending: 1 to kMaxReportBytes bytes.
bool IsReportableDumpSize(std::uint64_t size);

// "/cr?prod=Velmor_Updater&ver=093008_152008&app=<executable_name>": the build
// tag with every "-" turned into "_", the values inserted as they are.
WString BuildReportPath(const WString& executable_name);

// Appends "Content-Type: binary" to a block of header lines (after a line feed when
// the block is not empty), unless the block already names Content-Type in any
// letter case.
void AddReportContentType(WString* request_headers);

}  // namespace ci
