// What the process knows about the machine's proxy situation: one process-wide
// instance, changed under its own lock. The found_... fields are for a reader
// of proxy settings; the HTTP clients only reset them when a direct connection
// worked after the proxy failed.
#pragma once

#include <cstdint>

#include "ci/base/secret_wstring.h"
#include "ci/base/wide_string.h"
#include "ci/crash/locks.h"

namespace ci {

class ProxyState {
 public:
  static constexpr std::int32_t kDefaultHttpPort = 80;
  static constexpr std::int32_t kDefaultSslPort = 443;

  // Ends with ResetFound().
  ProxyState();
  // The password is wiped before its storage is released.
  ~ProxyState() = default;
  ProxyState(const ProxyState&) = delete;
  ProxyState& operator=(const ProxyState&) = delete;

  // Forgets what a reader found: type 0, no addresses, default ports.
  void ResetFound();
  // A direct connection worked: under `lock`, direct_ok becomes true, detected
  // false, and the found values are reset.
  void MarkDirectWorks();

  bool detected = false;
  bool direct_ok = false;
  bool allow_detection = true;
  WString http_proxy;
  std::int32_t http_port = kDefaultHttpPort;
  WString ssl_proxy;
  std::int32_t ssl_port = kDefaultSslPort;
  bool flag_a = true;
  bool flag_b = false;
  WString user;
  SecretWString password;
  LLock lock;
  std::int32_t found_type = 0;
  WString found_auto_config_url;
  WString found_http_proxy;
  std::int32_t found_http_port = kDefaultHttpPort;
  WString found_ssl_proxy;
  std::int32_t found_ssl_port = kDefaultSslPort;
  std::int32_t found_extra = 0;
  WString found_extra_text;
  std::int32_t found_reserved[2] = {0, 0};
};

// The process-wide instance, made on first use (the server asks for it during
// its static initialisation) and destroyed with the other static objects at exit.
ProxyState& GlobalProxyState();

}  // namespace ci
