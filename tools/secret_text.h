// Secrets the client handles in passing (passwords from the command line, a
// file or a URL): they end up in a ci::SecretWString, and every other buffer
// that held them is overwritten before it is released.
#pragma once

#include <string>
#include <vector>

#include "ci/base/secret_wstring.h"
#include "ci/base/wide_string.h"

namespace ci {

// Overwrites every character of the string's storage with zero and empties it.
void WipeText(std::string* text);
void WipeText(WString* text);

// `utf8` as a secret; the wide copy made on the way is wiped.
void SetSecretFromUtf8(const std::string& utf8, SecretWString* secret);

// Wipes a list of texts when it goes: for argument lists that may hold a password.
class WipeOnExit {
 public:
  explicit WipeOnExit(std::vector<std::string>* texts) : texts_(texts) {}
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;
  ~WipeOnExit() {
    for (std::string& text : *texts_) WipeText(&text);
  }

 private:
  std::vector<std::string>* texts_;
};

}  // namespace ci
