#include "ci/net/send_attempts.h"

namespace ci {
namespace {

// One exchange, told to the observer; E_ABORT once aborted.
HResult SendAndTell(const HttpClient& settings, const SendAttemptHooks& hooks, std::int32_t attempt,
                    bool direct_retry) {
  HResult result = hooks.send_once(/*use_proxy=*/!direct_retry);
  if (hooks.aborted()) result = kE_ABORT;
  if (settings.attempt_observer) {
    settings.attempt_observer(
        SendAttemptReport{attempt, direct_retry, result, Succeeded(result) ? hooks.status() : 0});
  }
  return result;
}

}  // namespace

HResult RunSendAttempts(const HttpClient& settings, const SendAttemptHooks& hooks) {
  HResult result = kS_OK;
  for (std::int32_t attempt = 0; attempt <= settings.retries; ++attempt) {
    if (attempt > 0 && !hooks.pause(settings.retry_delay_ms)) return kE_ABORT;
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    result = SendAndTell(settings, hooks, attempt, /*direct_retry=*/false);
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    const bool answered = Succeeded(result) && (hooks.status() == 200 || hooks.status() == 304);
    if (!answered && settings.retry_without_proxy && !settings.proxy_server.empty()) {
      const HResult direct = SendAndTell(settings, hooks, attempt, /*direct_retry=*/true);
      VU_RETURN_IF(hooks.aborted(), kE_ABORT);
      if (Succeeded(direct)) {
        hooks.direct_works();
        result = direct;
      } else if (Succeeded(result)) {
        result = direct;
      }
    }
    if (Succeeded(result)) break;
  }
  return result;
}

}  // namespace ci
