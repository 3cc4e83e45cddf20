// The attempt loop shared by both HTTP clients: attempts 0..retries, a pause
// before each extra one, and a direct retry when a send through the proxy failed.
#pragma once

#include <cstdint>
#include <functional>

#include "ci/base/hresult.h"
#include "ci/net/http_client.h"

namespace ci {

struct SendAttemptHooks {
  std::function<HResult(bool use_proxy)> send_once;
  std::function<std::uint32_t()> status;  // status of the last exchange
  // Pauses before an extra attempt; false when an abort cut the pause short.
  std::function<bool(std::uint32_t ms)> pause;
  std::function<bool()> aborted;
  std::function<void()> direct_works;  // a direct retry succeeded
};

// Runs the attempts for `settings` and returns the result of the last one (S_OK
// when retries is -1 and no attempt is made). A direct retry is made when
// retry_without_proxy is set, proxy_server is not empty, and the attempt failed or
// answered neither 200 nor 304. When it succeeds the attempt counts as successful;
// when it fails after the proxy answered, its failure is the attempt's result
// (the proxy's answer went with its handles), otherwise the proxy's failure
// stands. Once aborted, no further send or pause is made and the result is
// E_ABORT. Every send, the direct retry included, is told to
// settings.attempt_observer when it has ended.
HResult RunSendAttempts(const HttpClient& settings, const SendAttemptHooks& hooks);

}  // namespace ci
