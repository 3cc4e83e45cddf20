#include "ci/net/send_attempts.h"

namespace ci {

HResult RunSendAttempts(const HttpClient& settings, const SendAttemptHooks& hooks) {
  HResult result = kS_OK;
  for (std::int32_t attempt = 0; attempt <= settings.retries; ++attempt) {
    if (attempt > 0 && !hooks.pause(settings.retry_delay_ms)) return kE_ABORT;
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    result = hooks.send_once(/*use_proxy=*/true);
    VU_RETURN_IF(hooks.aborted(), kE_ABORT);
    const bool answered = Succeeded(result) && (hooks.status() == 200 || hooks.status() == 304);
    if (!answered && settings.retry_without_proxy && !settings.proxy_server.empty()) {
      const HResult direct = hooks.send_once(/*use_proxy=*/false);
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
