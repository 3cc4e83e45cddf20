#include "ci/net/probe_host.h"

#ifndef VU_HTTP_PROBE_HOST
#error "VU_HTTP_PROBE_HOST names the probe host (a build setting)"
#endif

namespace ci {

ProbeEndpoint DefaultProbeEndpoint() {
  // The setting arrives as a narrow literal; it is plain ASCII.
  const char* host = VU_HTTP_PROBE_HOST;
  WString wide;
  for (; *host; ++host) wide.push_back(static_cast<WChar>(*host));
  return ProbeEndpoint{wide, 80};
}

}  // namespace ci
