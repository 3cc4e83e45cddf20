// The creators of the two HTTP clients, apart from their classes: the WinHTTP
// and WinINet headers cannot be included in the same file.
#pragma once

#include <memory>

#include "ci/net/http_client.h"

namespace ci {

// A WinHTTP client over the process-wide binding, or null when it cannot be bound.
std::unique_ptr<HttpClient> CreateWinHttpClient();
// A WinINet client with its own binding, or null when it cannot be bound.
std::unique_ptr<HttpClient> CreateInetHttpClient();

}  // namespace ci
