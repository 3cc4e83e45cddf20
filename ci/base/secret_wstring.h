// A wide string for secrets (passwords): its characters are overwritten with
// zeros before its storage is released or reused, on assignment and destruction.
#pragma once

#include <cstddef>

#include "ci/base/wide_string.h"

namespace ci {

class SecretWString {
 public:
  SecretWString() = default;
  explicit SecretWString(const WString& value) { Assign(value); }
  SecretWString(const SecretWString& other) { Assign(other.value_); }
  SecretWString& operator=(const SecretWString& other) {
    if (this != &other) Assign(other.value_);
    return *this;
  }
  ~SecretWString() { Wipe(); }

  // Replaces the value; the old characters are wiped first, so a reallocation
  // never frees storage that still holds them.
  void Assign(const WChar* data, std::size_t length);
  void Assign(const WString& value) { Assign(value.data(), value.size()); }
  SecretWString& operator=(const WString& value) {
    Assign(value);
    return *this;
  }

  // Overwrites every character of the storage with zero and empties the value.
  void Wipe();

  // Wipes the value and makes it `length` zero characters for a call to write
  // into; returns the first of them (valid until the next change).
  WChar* Prepare(std::size_t length);
  // Keeps the first `length` characters (all when there are fewer); the
  // characters after them are wiped.
  void Truncate(std::size_t length);

  const WString& value() const { return value_; }
  bool empty() const { return value_.empty(); }
  std::size_t size() const { return value_.size(); }

 private:
  WString value_;
};

}  // namespace ci
