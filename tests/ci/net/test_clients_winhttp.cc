#include "ci/net/winhttp_client_win.h"
#include "tests/ci/net/test_clients_win.h"

namespace ci::test {

std::unique_ptr<HttpClient> MakeWinHttpClient(const ProbeEndpoint& probe) {
  const WinHttpApi* api = WinHttpApi::Process();
  return api ? std::make_unique<WinHttpClient>(api, probe) : nullptr;
}

}  // namespace ci::test
