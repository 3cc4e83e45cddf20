#include "tools/proxy_config_report.h"

#include "tools/http_command.h"
#include "tools/http_report.h"
#include "tools/json_text.h"

namespace ci {
namespace {

const char* AccessWords(std::uint32_t access_type) {
  switch (access_type) {
    case 0:
      return "direct";
    case 1:
      return "named proxy";
    default:
      return "other";
  }
}

const char* AnswerKey(ProxyLookupAnswer answer) {
  switch (answer) {
    case ProxyLookupAnswer::kNotAsked:
      return "not_asked";
    case ProxyLookupAnswer::kNotAvailable:
      return "not_available";
    case ProxyLookupAnswer::kFailed:
      return "failed";
    case ProxyLookupAnswer::kDirect:
      return "direct";
    case ProxyLookupAnswer::kProxy:
      return "proxy";
  }
  return "";
}

std::string LookupMethod(const ProxyConfigReport& report) {
  return report.auto_config_url.empty() ? "automatic detection"
                                        : "script " + report.auto_config_url;
}

}  // namespace

ProxyLookupAnswer ClassifyProxyLookup(HResult result, bool named_proxy, const std::string& proxy) {
  if (Failed(result)) return ProxyLookupAnswer::kFailed;
  return named_proxy && !proxy.empty() ? ProxyLookupAnswer::kProxy : ProxyLookupAnswer::kDirect;
}

std::string FormatProxyConfigText(const ProxyConfigReport& report) {
  std::string text = "client: " + report.client + "\n";
  if (Failed(report.default_result)) {
    text +=
        "default configuration: cannot be read: " + HttpResultWords(report.default_result) + "\n";
  } else {
    text += std::string("access: ") + AccessWords(report.access_type) + "\nproxy: " + report.proxy +
            "\nbypass: " + report.bypass + "\n";
  }
  if (report.answer == ProxyLookupAnswer::kNotAsked) return text;
  text += "proxy for " + report.url + " (" + LookupMethod(report) + "): ";
  switch (report.answer) {
    case ProxyLookupAnswer::kNotAvailable:
      text += "not answered: the " + report.client +
              " client has no automatic proxy lookup (ask --client=winhttp)";
      break;
    case ProxyLookupAnswer::kFailed:
      text += "failed: " + HttpResultWords(report.lookup_result);
      break;
    case ProxyLookupAnswer::kDirect:
      text += "direct";
      break;
    case ProxyLookupAnswer::kProxy:
      text += report.chosen_proxy;
      if (!report.chosen_bypass.empty()) text += " (bypass " + report.chosen_bypass + ")";
      break;
    case ProxyLookupAnswer::kNotAsked:
      break;
  }
  return text + "\n";
}

std::string FormatProxyConfigJson(const ProxyConfigReport& report) {
  std::string json = "{\"client\": " + JsonString(report.client) +
                     ", \"default\": {\"result\": " + JsonString(HResultHex(report.default_result));
  if (Succeeded(report.default_result)) {
    json += std::string(", \"access\": ") + JsonString(AccessWords(report.access_type)) +
            ", \"proxy\": " + JsonString(report.proxy) +
            ", \"bypass\": " + JsonString(report.bypass);
  }
  json += "}";
  if (report.answer != ProxyLookupAnswer::kNotAsked) {
    json += ", \"lookup\": {\"url\": " + JsonString(report.url) + ", \"method\": " +
            JsonString(report.auto_config_url.empty() ? "auto_detect" : "auto_config_url");
    if (!report.auto_config_url.empty()) {
      json += ", \"auto_config_url\": " + JsonString(report.auto_config_url);
    }
    json += std::string(", \"answer\": ") + JsonString(AnswerKey(report.answer)) +
            ", \"result\": " + JsonString(HResultHex(report.lookup_result));
    if (report.answer == ProxyLookupAnswer::kProxy) {
      json += ", \"proxy\": " + JsonString(report.chosen_proxy) +
              ", \"bypass\": " + JsonString(report.chosen_bypass);
    }
    json += "}";
  }
  return json + "}\n";
}

int ProxyConfigExitCode(const ProxyConfigReport& report) {
  return Failed(report.default_result) || report.answer == ProxyLookupAnswer::kFailed
             ? kHttpExitFailed
             : kHttpExitOk;
}

}  // namespace ci
