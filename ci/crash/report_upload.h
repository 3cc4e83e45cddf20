// The crash report's one HTTP POST to the crash-report server.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ci/base/wide_string.h"
#include "ci/net/http_client.h"

namespace ci {

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

}  // namespace ci
