#include "ci/prefs/proxy_settings_store.h"

#include "ci/base/utf8.h"

namespace {

ci::WString HostFromUtf8(const std::string& bytes) {
  // A count of 0 would mean "up to the first zero byte", which is also right for
  // an empty host.
  return ci::Utf8ToWide(bytes.data(), bytes.size());
}

}  // namespace

void ProxySettingsWrapper::ReadFromMessage(ProtocolMessage* message) {
  const auto* proxy = dynamic_cast<const ProxySettingsProto*>(message);
  if (proxy == nullptr) return;
  auto_detect_ = proxy->auto_detect();
  http_host_ = HostFromUtf8(proxy->http_host());
  has_http_host_ = proxy->has_http_host();
  http_port_ = proxy->http_port();
  has_http_port_ = proxy->has_http_port();
  ssl_host_ = HostFromUtf8(proxy->ssl_host());
  has_ssl_host_ = proxy->has_ssl_host();
  ssl_port_ = proxy->ssl_port();
  has_ssl_port_ = proxy->has_ssl_port();
  proxy_for_all_ = proxy->proxy_for_all();
  has_proxy_for_all_ = proxy->has_proxy_for_all();
}

void ProxySettingsWrapper::WriteToMessage(ProtocolMessage* message) {
  auto* proxy = dynamic_cast<ProxySettingsProto*>(message);
  if (proxy == nullptr) return;
  proxy->set_auto_detect(auto_detect_);
  if (has_http_host_) proxy->set_http_host(ci::WideToUtf8(http_host_));
  if (has_http_port_) proxy->set_http_port(http_port_);
  if (has_ssl_host_) proxy->set_ssl_host(ci::WideToUtf8(ssl_host_));
  if (has_ssl_port_) proxy->set_ssl_port(ssl_port_);
  if (has_proxy_for_all_) proxy->set_proxy_for_all(proxy_for_all_);
}

void ProxySettingsWrapper::set_http_host(const ci::WString& host) {
  http_host_ = host;
  has_http_host_ = true;
}

void ProxySettingsWrapper::set_http_port(int32_t port) {
  http_port_ = port;
  has_http_port_ = true;
}

void ProxySettingsWrapper::set_ssl_host(const ci::WString& host) {
  ssl_host_ = host;
  has_ssl_host_ = true;
}

void ProxySettingsWrapper::set_ssl_port(int32_t port) {
  ssl_port_ = port;
  has_ssl_port_ = true;
}

void ProxySettingsWrapper::set_proxy_for_all(bool value) {
  proxy_for_all_ = value;
  has_proxy_for_all_ = true;
}
