// The proxy settings store's copy rules, including the UTF-8 <-> UTF-16 round trip
// of the host names.
#include "ci/prefs/proxy_settings_store.h"

#include <gtest/gtest.h>

#include "ci/prefs/stored_value.h"
#include "tests/support/bytes.h"

namespace ci {
namespace {

using test::ByteList;
using test::Concat;

bool Decode(const std::vector<uint8_t>& bytes, ProtoWrapper* store) {
  return DecodeBlob(bytes.data(), static_cast<uint32_t>(bytes.size()), store);
}

// auto_detect true and http_host with the given bytes.
std::vector<uint8_t> WithHttpHost(const std::string& host) {
  return Concat({ByteList({0x08, 0x01, 0x12, static_cast<int>(host.size())}), ByteList(host)});
}

TEST(ProxySettingsWrapper, StartsWithTheStoreDefaults) {
  ProxySettingsWrapper store;
  EXPECT_TRUE(store.auto_detect());
  EXPECT_EQ(store.http_host(), u"");
  EXPECT_EQ(store.http_port(), 80);
  EXPECT_EQ(store.ssl_port(), 443);
  EXPECT_TRUE(store.proxy_for_all());
  EXPECT_FALSE(store.has_http_host() || store.has_http_port() || store.has_ssl_host() ||
               store.has_ssl_port() || store.has_proxy_for_all());
  // auto_detect is always written, so even an untouched store is never empty.
  EXPECT_EQ(SerializeWrapper(&store), ByteList({0x08, 0x01}));
}

TEST(ProxySettingsWrapper, AbsentFieldsCarryTheMessageDefaults) {
  ProxySettingsWrapper store;
  store.set_http_port(1);
  store.set_proxy_for_all(false);
  ASSERT_TRUE(Decode(ByteList({0x08, 0x00}), &store));
  EXPECT_FALSE(store.auto_detect());
  EXPECT_EQ(store.http_port(), 80);
  EXPECT_FALSE(store.has_http_port());
  EXPECT_TRUE(store.proxy_for_all());
  EXPECT_FALSE(store.has_proxy_for_all());
  EXPECT_EQ(SerializeWrapper(&store), ByteList({0x08, 0x00}));
}

TEST(ProxySettingsWrapper, EveryFieldSurvivesDecodeAndSave) {
  const auto blob = ByteList({0x08, 0x00, 0x12, 0x01, 'h',  0x1D, 0x90, 0x1F, 0x00, 0x00, 0x22,
                              0x02, 's',  's',  0x2D, 0xBB, 0x01, 0x00, 0x00, 0x30, 0x00});
  ProxySettingsWrapper store;
  ASSERT_TRUE(Decode(blob, &store));
  EXPECT_EQ(store.http_host(), u"h");
  EXPECT_EQ(store.http_port(), 8080);
  EXPECT_EQ(store.ssl_host(), u"ss");
  EXPECT_EQ(store.ssl_port(), 443);
  EXPECT_TRUE(store.has_ssl_port());
  EXPECT_FALSE(store.proxy_for_all());
  EXPECT_EQ(SerializeWrapper(&store), blob);

  // A present but empty host stays present.
  ASSERT_TRUE(Decode(ByteList({0x08, 0x01, 0x12, 0x00}), &store));
  EXPECT_TRUE(store.has_http_host());
  EXPECT_EQ(SerializeWrapper(&store), ByteList({0x08, 0x01, 0x12, 0x00}));
}

TEST(ProxySettingsWrapper, PortsKeepTheirFullRange) {
  ProxySettingsWrapper store;
  store.set_http_port(-1);
  store.set_ssl_port(0x7FFFFFFF);
  EXPECT_EQ(SerializeWrapper(&store),
            ByteList({0x08, 0x01, 0x1D, 0xFF, 0xFF, 0xFF, 0xFF, 0x2D, 0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(ProxySettingsWrapper, AByteOrderMarkIsDroppedFromAHost) {
  ProxySettingsWrapper store;
  ASSERT_TRUE(Decode(WithHttpHost("\xEF\xBB\xBFproxy"), &store));
  EXPECT_EQ(store.http_host(), u"proxy");
  EXPECT_EQ(SerializeWrapper(&store), WithHttpHost("proxy"));
}

TEST(ProxySettingsWrapper, HostsSurviveTheRoundTripByteForByte) {
  const std::string hosts[] = {
      "proxy.example.com",
      "pr\xC3\xB8xy.\xE4\xBE\x8B\xE3\x81\x88.jp",  // prøxy.例え.jp
      "\xF0\x9D\x94\xADroxy.example",              // U+1D52D, outside the BMP
      "\xE2\x80\x8B\xF0\x9F\x98\x80\xC3\xA9",      // zero-width space, emoji, é
  };
  for (const std::string& host : hosts) {
    ProxySettingsWrapper store;
    ASSERT_TRUE(Decode(WithHttpHost(host), &store));
    EXPECT_EQ(SerializeWrapper(&store), WithHttpHost(host)) << host;
  }
  ProxySettingsWrapper store;
  ASSERT_TRUE(Decode(WithHttpHost("pr\xC3\xB8xy.\xE4\xBE\x8B\xE3\x81\x88.jp"), &store));
  EXPECT_EQ(store.http_host(), u"pr\u00F8xy.\u4F8B\u3048.jp");
  ASSERT_TRUE(Decode(WithHttpHost("\xF0\x9D\x94\xADroxy.example"), &store));
  EXPECT_EQ(store.http_host(), u"\U0001D52Droxy.example");
}

TEST(ProxySettingsWrapper, ALongHostNeedsATwoByteLength) {
  const std::string host(200, 'h');
  ProxySettingsWrapper store;
  store.set_ssl_host(WString(200, u'h'));
  EXPECT_EQ(SerializeWrapper(&store),
            Concat({ByteList({0x08, 0x01, 0x22, 0xC8, 0x01}), ByteList(host)}));
}

TEST(ProxySettingsWrapper, ABlobWithoutAutoDetectLeavesTheStoreUntouched) {
  ProxySettingsWrapper store;
  ASSERT_TRUE(Decode(ByteList({0x08, 0x00, 0x1D, 0x90, 0x1F, 0x00, 0x00}), &store));
  EXPECT_FALSE(Decode(ByteList({0x12, 0x01, 'x'}), &store));
  EXPECT_FALSE(store.auto_detect());
  EXPECT_EQ(store.http_port(), 8080);
  EXPECT_FALSE(store.has_http_host());
}

TEST(ProxySettingsWrapper, UnknownFieldsAreSavedAfterTheKnownOnes) {
  ProxySettingsWrapper store;
  const auto blob =
      ByteList({0x3D, 1, 2, 3, 4, 0x08, 0x01, 0x18, 0x50});  // fields 7 and 3 (varint)
  ASSERT_TRUE(Decode(blob, &store));
  EXPECT_FALSE(store.has_http_port());
  EXPECT_EQ(SerializeWrapper(&store), ByteList({0x08, 0x01, 0x3D, 1, 2, 3, 4, 0x18, 0x50}));
}

}  // namespace
}  // namespace ci
