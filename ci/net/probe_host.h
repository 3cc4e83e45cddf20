// Where CheckConnection and QueryProxyAuthScheme send their probe: a public web
// server over plain HTTP, named by the build setting VU_HTTP_PROBE_HOST.
#pragma once

#include <cstdint>

#include "ci/base/wide_string.h"

namespace ci {

struct ProbeEndpoint {
  WString host;
  std::uint16_t port = 80;
};

ProbeEndpoint DefaultProbeEndpoint();

}  // namespace ci
