// What the soak clients send, call by call, and what each call must answer: the
// three operations with valid messages, undecodable ones and oversized ones.
// Undecodable messages have an even length: Wine pads an odd-length BSTR with a
// zero byte, which can make a cut-short message whole.
#pragma once

#include <string>
#include <vector>

#include "tests/admin_prefs/module/load_messages.h"

namespace ci {
namespace test {

enum class SoakOperation { kPreferences, kProxy, kEula };

struct SoakCall {
  SoakOperation operation;
  bool null_argument;  // sends a null BSTR
  std::string blob;
  bool valid;  // S_OK expected; E_INVALIDARG otherwise
};

// 200 000 bytes: a large known string field or a large unknown field.
constexpr std::size_t kOversizedLength = 200000;

inline void AppendVarint(std::string* out, std::size_t value) {
  for (; value >= 0x80; value >>= 7) out->push_back(static_cast<char>((value & 0x7F) | 0x80));
  out->push_back(static_cast<char>(value));
}

// A proxy message whose host is kOversizedLength bytes (valid and canonical).
inline const std::string& OversizedProxyMessage() {
  static const std::string message = [] {
    std::string m("\x08\x00\x12", 3);
    AppendVarint(&m, kOversizedLength);
    m.append(kOversizedLength, 'h');
    return m;
  }();
  return message;
}

// A preferences message with an unknown field of kOversizedLength bytes after the
// known ones; kept and stored as sent.
inline const std::string& OversizedPreferencesMessage() {
  static const std::string message = [] {
    std::string m("\x10\x01\x7A", 3);  // field 15, length-delimited
    AppendVarint(&m, kOversizedLength);
    m.append(kOversizedLength, 'u');
    return m;
  }();
  return message;
}

// The calls of one round; a client goes through them from an offset of its own.
inline std::vector<SoakCall> SoakRound(int pick) {
  const auto& prefs = LoadPreferenceMessages();
  const auto& proxies = LoadProxyMessages();
  const std::string& pref = prefs[pick % prefs.size()];
  const std::string& proxy = proxies[pick % proxies.size()];
  const std::string garbage(kOversizedLength, '\xFF');
  // A string whose length says more than there is.
  const std::string overrunning =
      std::string("\x08\x00\x12\xFF\xFF\x0F", 6) + std::string(1000, 'x');
  using Op = SoakOperation;
  return {
      {Op::kPreferences, false, pref, true},
      {Op::kProxy, false, proxy, true},
      {Op::kEula, true, "", true},
      {Op::kPreferences, false, std::string("\x08\x80", 2), false},  // value cut short
      {Op::kPreferences, false, OversizedPreferencesMessage(), true},
      {Op::kProxy, false, std::string("\x10\x01", 2), false},  // required field missing
      {Op::kEula, false, pref, true},
      {Op::kProxy, false, OversizedProxyMessage(), true},
      {Op::kPreferences, false, garbage, false},
      {Op::kEula, false, overrunning, false},
      {Op::kProxy, false, overrunning, false},
      {Op::kProxy, false, "", false},  // zero length
      {Op::kPreferences, true, "", false},
  };
}

// Every preference or proxy message a soak client can have stored.
inline std::vector<std::string> SoakStoredPreferences() {
  std::vector<std::string> all = LoadPreferenceMessages();
  all.push_back(OversizedPreferencesMessage());
  return all;
}

inline std::vector<std::string> SoakStoredProxies() {
  std::vector<std::string> all = LoadProxyMessages();
  all.push_back(OversizedProxyMessage());
  return all;
}

}  // namespace test
}  // namespace ci
