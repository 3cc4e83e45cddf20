// Clients for the tests, one of each kind, built apart because the two library
// headers cannot meet in one file: the probe points at a loopback server of the
// test, and the WinINet client's network check is a seam.
#pragma once

#include <memory>
#include <string>

#include "ci/net/http_client.h"

namespace ci::test {

enum class ClientKind { kWinHttp, kWinInet };

inline std::string KindName(ClientKind kind) {
  return kind == ClientKind::kWinHttp ? "WinHttp" : "WinInet";
}

// A loopback probe that refuses connections (nothing listens on port 1).
inline ProbeEndpoint RefusingProbe() { return ProbeEndpoint{u"127.0.0.2", 1}; }

std::unique_ptr<HttpClient> MakeWinHttpClient(const ProbeEndpoint& probe);
std::unique_ptr<HttpClient> MakeInetHttpClient(const ProbeEndpoint& probe,
                                               bool (*network_available)());

inline bool NetworkUp() { return true; }

inline std::unique_ptr<HttpClient> MakeClient(ClientKind kind,
                                              const ProbeEndpoint& probe = RefusingProbe()) {
  return kind == ClientKind::kWinHttp ? MakeWinHttpClient(probe)
                                      : MakeInetHttpClient(probe, &NetworkUp);
}

}  // namespace ci::test
