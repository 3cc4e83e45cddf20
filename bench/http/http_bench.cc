// Timing client: a small GET to a loopback server through WinHttpClient and
// InetHttpClient, against the same exchange written directly against each
// library, in the same run. The two sides alternate call by call so that drift
// (the machine's load, Wine's state) falls on both; each side's median and the
// ratio of medians are printed.
//   http_bench.exe [exchanges per side]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/http/direct_exchanges.h"
#include "ci/net/http_client.h"
#include "tests/support/loopback_http_server_win.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double TimeOne(const std::function<bool()>& exchange, bool* ok) {
  const auto start = Clock::now();
  if (!exchange()) *ok = false;
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Returns false when an exchange failed.
bool Compare(const char* name, int rounds, const std::function<bool()>& ours,
             const std::function<bool()>& direct) {
  bool ok = true;
  for (int i = 0; i < 20; ++i) {  // warm-up: libraries loaded, connections settled
    ours();
    direct();
  }
  std::vector<double> ours_us, direct_us;
  for (int i = 0; i < rounds; ++i) {
    if (i % 2 == 0) {
      ours_us.push_back(TimeOne(ours, &ok));
      direct_us.push_back(TimeOne(direct, &ok));
    } else {
      direct_us.push_back(TimeOne(direct, &ok));
      ours_us.push_back(TimeOne(ours, &ok));
    }
  }
  const double ours_median = Median(ours_us);
  const double direct_median = Median(direct_us);
  std::printf("%-8s client %8.1f us  direct %8.1f us  ratio %.3f  (medians of %d exchanges)\n",
              name, ours_median, direct_median, ours_median / direct_median, rounds);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::max(10, _wtoi(argv[1])) : 400;
  ci::test::LoopbackHttpServer server;
  if (!server.Start("127.0.0.2")) {
    std::fprintf(stderr, "cannot start the loopback server\n");
    return 1;
  }
  server.Respond(
      ci::test::CannedResponse{200, {"Content-Type: text/plain"}, std::string(512, 'x')});
  const std::uint16_t port = server.port();
  const ci::WString host = u"127.0.0.2";
  const ci::WString path = u"/small";

  auto client_get = [&](ci::HttpClient* client) {
    std::vector<std::uint8_t> body;
    return ci::Succeeded(client->Send(host, port, path)) && client->GetStatusCode() == 200 &&
           ci::Succeeded(client->ReadResponseBodyToBuffer(&body, 0)) && body.size() == 512;
  };
  // A client per exchange, as the product's callers make them.
  auto winhttp = [&] {
    auto client = ci::CreateWinHttpClient();
    return client && client_get(client.get());
  };
  auto wininet = [&] {
    auto client = ci::CreateInetHttpClient();
    return client && client_get(client.get());
  };
  bool ok = Compare("WinHTTP", rounds, winhttp,
                    [&] { return bench::DirectWinHttpGet(L"127.0.0.2", port, L"/small") == 512; });
  ok = Compare("WinINet", rounds, wininet,
               [&] { return bench::DirectWinInetGet(L"127.0.0.2", port, L"/small") == 512; }) &&
       ok;
  server.Stop();
  if (!ok) std::fprintf(stderr, "some exchanges failed\n");
  return ok ? 0 : 1;
}
