#include "ci/base/secret_wstring.h"

namespace ci {

void SecretWString::Assign(const WChar* data, std::size_t length) {
  // Copy first (the value may alias our own storage), then wipe ours and swap:
  // the holder that ends up with the old storage wipes it again on release.
  SecretWString fresh;
  fresh.value_.assign(data, length);
  Wipe();
  value_.swap(fresh.value_);
}

void SecretWString::Wipe() {
  // Widen to the whole capacity (no reallocation) so that characters left from
  // an earlier, longer value are covered too; volatile keeps the stores.
  value_.resize(value_.capacity());
  volatile WChar* chars = value_.data();
  for (std::size_t i = 0; i < value_.size(); ++i) chars[i] = 0;
  value_.clear();
}

WChar* SecretWString::Prepare(std::size_t length) {
  Wipe();  // a reallocation below then frees zeros only
  value_.resize(length);
  return &value_[0];
}

void SecretWString::Truncate(std::size_t length) {
  if (length >= value_.size()) return;
  volatile WChar* chars = value_.data();
  for (std::size_t i = length; i < value_.size(); ++i) chars[i] = 0;
  value_.resize(length);
}

}  // namespace ci
