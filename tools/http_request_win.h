// Running adminprefs http: one request through the product's HTTP stack, the
// redirects followed hop by hop with -L, the exchange shown with -v.
#pragma once

#include "tools/http_command.h"

namespace ci {

// Sends the request of `command`; returns the exit code.
int RunHttpRequest(const HttpCommand& command);

}  // namespace ci
