// The crash report's one HTTP POST to the crash-report server: its path, its
// content type header and the size limits of the dump it carries (platform-free),
// and the upload itself (Windows).
#pragma once

#include <cstdint>

#include "ci/base/wide_string.h"

#ifdef _WIN32
#include <memory>
#include <vector>

#include "ci/net/http_client.h"
#endif

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

#ifdef _WIN32

using HttpClientFactory = std::unique_ptr<HttpClient> (*)();

// What one upload's exchange gave, for a caller that shows it.
struct ReportUploadOutcome {
  bool client_created = false;
  HResult send_result = kS_OK;  // of SendWithProxyAuth, when a client was created
  std::uint32_t status = 0;     // 0 without a response
};

// POSTs `dump_bytes` to `host` on port 80 (plain HTTP) at BuildReportPath
// (executable name) with "Content-Type: binary" added to the client's headers,
// following no redirect. True only when the send succeeds and the status is 200;
// a missing client, a failed send and any other status (a 3xx, 407 and 304
// included) are failures. Never throws: an allocation that fails is a failure.
// The bookkeeping of an accepted report is the caller's. `outcome`, when given,
// receives what the exchange gave.
bool UploadReport(const WString& host, const std::vector<std::uint8_t>& dump_bytes,
                  HttpClientFactory create_client = &CreateHttpClient,
                  ReportUploadOutcome* outcome = nullptr);

#endif  // _WIN32

}  // namespace ci
