#include <gtest/gtest.h>

#include "ci/base/secret_wstring.h"

namespace ci {
namespace {

bool StorageIsZero(const WString& s) {
  // Reads the whole buffer the string owns, beyond its current length.
  const WChar* chars = s.data();
  for (std::size_t i = 0; i < s.capacity(); ++i) {
    if (chars[i] != 0) return false;
  }
  return true;
}

TEST(SecretWString, WipeZeroesTheWholeBuffer) {
  SecretWString secret(WString(40, u'x'));
  secret.Assign(u"short");  // a shorter value leaves the longer one's tail behind
  const WChar* buffer = secret.value().data();
  secret.Wipe();
  EXPECT_TRUE(secret.empty());
  EXPECT_EQ(secret.value().data(), buffer);  // same storage, now zero
  EXPECT_TRUE(StorageIsZero(secret.value()));
}

TEST(SecretWString, AssignReplacesTheValue) {
  SecretWString secret;
  secret = WString(u"one");
  EXPECT_EQ(secret.value(), u"one");
  secret.Assign(WString(100, u'p'));
  EXPECT_EQ(secret.value(), WString(100, u'p'));
  const SecretWString copy(secret);
  EXPECT_EQ(copy.value(), secret.value());
}

TEST(SecretWString, AssignFromItsOwnCharacters) {
  SecretWString secret(WString(u"password"));
  secret.Assign(secret.value().data() + 4, 4);
  EXPECT_EQ(secret.value(), u"word");
  secret = secret;
  EXPECT_EQ(secret.value(), u"word");
}

}  // namespace
}  // namespace ci
