#include "ci/net/inet_http_client_win.h"
#include "tests/ci/net/test_clients_win.h"

namespace ci::test {

std::unique_ptr<HttpClient> MakeInetHttpClient(const ProbeEndpoint& probe,
                                               bool (*network_available)()) {
  UniqueLibrary library;
  InetApi api;
  if (!BindWinInet(&library, &api)) return nullptr;
  return std::make_unique<InetHttpClient>(std::move(library), api, probe, network_available);
}

}  // namespace ci::test
