#include "ci/net/http_client.h"

#include "ci/net/http_client_creators.h"

namespace ci {

std::unique_ptr<HttpClient> CreateHttpClient() {
  using Creator = std::unique_ptr<HttpClient> (*)();
  static constexpr Creator kCreators[] = {&CreateWinHttpClient, &CreateInetHttpClient};
  for (Creator create : kCreators) {
    if (std::unique_ptr<HttpClient> client = create()) return client;
  }
  return nullptr;
}

}  // namespace ci
