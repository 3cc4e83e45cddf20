// The proxy settings: held as a store (the fields of ProxySettingsProto with the
// host names as UTF-16 text, presence per optional field, plus the store's own
// message, which keeps what decoding brought, unknown fields included), decoded
// from a service argument and saved as the value "ProxySettings"; and the removal
// of that value under the machine or the user key.
#pragma once

#include <cstdint>
#include <memory>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"
#include "net/proto/protocol_message.h"
#include "protocol/proxy_settings.h"

class ProxySettingsWrapper : public ProtoWrapper {
 public:
  ProxySettingsWrapper() = default;
  ProxySettingsWrapper(const ProxySettingsWrapper&) = delete;
  ProxySettingsWrapper& operator=(const ProxySettingsWrapper&) = delete;
  ~ProxySettingsWrapper() = default;

  // The owned ProxySettingsProto, created on the first call. Defined here: <windows.h>
  // renames GetMessage, and an inline definition follows whatever name the
  // including file sees, so the vtables of Windows and portable files agree.
  ProtocolMessage* GetMessage() override {
    if (!message_) message_ = std::make_unique<ProxySettingsProto>();
    return message_.get();
  }
  // Copies every field from a ProxySettingsProto, absent ones with the message's
  // default; hosts are converted from UTF-8 (a leading byte-order mark dropped).
  // A message of another type is ignored.
  void ReadFromMessage(ProtocolMessage* message) override;
  // Sets auto_detect always, and each other field this store holds as present,
  // hosts converted to UTF-8.
  void WriteToMessage(ProtocolMessage* message) override;

  bool auto_detect() const { return auto_detect_; }
  const ci::WString& http_host() const { return http_host_; }
  bool has_http_host() const { return has_http_host_; }
  int32_t http_port() const { return http_port_; }
  bool has_http_port() const { return has_http_port_; }
  const ci::WString& ssl_host() const { return ssl_host_; }
  bool has_ssl_host() const { return has_ssl_host_; }
  int32_t ssl_port() const { return ssl_port_; }
  bool has_ssl_port() const { return has_ssl_port_; }
  bool proxy_for_all() const { return proxy_for_all_; }
  bool has_proxy_for_all() const { return has_proxy_for_all_; }

  // Each setter of an optional field also marks it present.
  void set_auto_detect(bool value) { auto_detect_ = value; }
  void set_http_host(const ci::WString& host);
  void set_http_port(int32_t port);
  void set_ssl_host(const ci::WString& host);
  void set_ssl_port(int32_t port);
  void set_proxy_for_all(bool value);

 private:
  std::unique_ptr<ProxySettingsProto> message_;
  bool auto_detect_ = true;  // required in the message: no presence flag
  ci::WString http_host_;
  bool has_http_host_ = false;
  int32_t http_port_ = 80;
  bool has_http_port_ = false;
  ci::WString ssl_host_;
  bool has_ssl_host_ = false;
  int32_t ssl_port_ = 443;
  bool has_ssl_port_ = false;
  bool proxy_for_all_ = true;
  bool has_proxy_for_all_ = false;
};

namespace ci {

// The store as the service saves it.
class ProxySettings final : public ProxySettingsWrapper {
 public:
  // Writes "ProxySettings" (the checksummed message) under kMachineRoot. Best
  // effort: registry failures are not reported; always S_OK.
  HResult WriteProxySettings();
  // The same below another key path.
  HResult WriteProxySettingsAt(const WString& key_path);
};

// Removes "ProxySettings" under kMachineRoot (machine) or kUserRoot (not machine).
// A missing value or key is fine, and failures are not reported: always S_OK.
HResult DeleteProxySettings(bool machine);
// The same below another key path.
HResult DeleteProxySettingsAt(const WString& key_path);

}  // namespace ci
