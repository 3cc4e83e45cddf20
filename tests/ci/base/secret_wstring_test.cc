#include <gtest/gtest.h>

#include <algorithm>

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

TEST(SecretWString, PrepareAndTruncateLeaveNoCharactersBehind) {
  // As a library call uses it: a zeroed buffer to write into, then cut to the
  // length the call reports.
  SecretWString secret(WString(u"an old and longer password"));
  WChar* chars = secret.Prepare(12);
  ASSERT_EQ(secret.size(), 12u);
  EXPECT_TRUE(StorageIsZero(secret.value()));  // the old value is gone too
  const WString written = u"secret!!";
  std::copy(written.begin(), written.end(), chars);
  secret.Truncate(6);
  EXPECT_EQ(secret.value(), u"secret");
  const WChar* data = secret.value().data();
  for (std::size_t i = 6; i < secret.value().capacity(); ++i) {
    EXPECT_EQ(data[i], 0) << i;
  }
  secret.Truncate(50);  // longer than the value: nothing changes
  EXPECT_EQ(secret.value(), u"secret");
}

}  // namespace
}  // namespace ci
