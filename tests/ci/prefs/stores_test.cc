// The preference stores against the real registry of the build tree's Wine
// prefix, each test below a key of its own; the blobs arrive as BSTRs, as they do
// from the service's clients.
#include <gtest/gtest.h>

#include "ci/base/win_handles.h"
#include "ci/prefs/machine_preferences.h"
#include "ci/prefs/proxy_settings_store.h"
#include "ci/prefs/reg_key.h"
#include "ci/prefs/stored_value.h"
#include "net/proto/decode_blob_win.h"
#include "tests/support/bytes.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/registry_win.h"
#include "tests/support/test_key_win.h"

namespace ci {
namespace {

using test::ByteList;
using test::Concat;
using test::RawValue;
using test::ReadRaw;
using test::TestKey;
using test::WriteRaw;

bool DecodeBstr(const std::vector<uint8_t>& bytes, ProtoWrapper* store) {
  UniqueBstr blob = MakeByteBstr(bytes.data(), static_cast<UINT>(bytes.size()));
  return DecodeBlob(blob.get(), store);
}

std::vector<uint8_t> Stored(std::vector<uint8_t> message) {
  AppendMessageChecksum(&message);
  return message;
}

// A value as the platform reads it; the type must be `type`.
std::vector<uint8_t> ReadValue(const TestKey& key, const WString& name, DWORD type) {
  RawValue raw;
  if (!ReadRaw(key.root(), key.sub_key(), name, &raw)) return ByteList({0xDE, 0xAD});
  EXPECT_EQ(raw.type, type) << "type of the value";
  return raw.bytes;
}

const std::vector<uint8_t> kConsentOn = ByteList({1, 0, 0, 0});
const std::vector<uint8_t> kConsentOff = ByteList({0, 0, 0, 0});

TEST(MachinePreferencesStore, SendStatsAloneStoresSixBytesAndConsent) {
  TestKey key;
  MachinePreferences prefs;
  ASSERT_TRUE(DecodeBstr(ByteList({0x10, 0x01}), &prefs));
  EXPECT_HR_OK(prefs.SaveMachinePreferencesAt(key.path()));  // creates the key too
  EXPECT_EQ(ReadValue(key, u"machine_prefs", REG_BINARY),
            ByteList({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  EXPECT_EQ(ReadValue(key, u"SendAnonymousData", REG_DWORD), kConsentOn);
}

TEST(MachinePreferencesStore, AnEmptyMessageRemovesTheValueAndClearsConsent) {
  TestKey key;
  ASSERT_TRUE(WriteRaw(key.root(), key.sub_key(), u"machine_prefs", REG_BINARY, "old", 3));
  const DWORD on = 1;
  ASSERT_TRUE(WriteRaw(key.root(), key.sub_key(), u"SendAnonymousData", REG_DWORD, &on, 4));
  MachinePreferences prefs;
  ASSERT_TRUE(DecodeBstr(ByteList({0x00}), &prefs));
  EXPECT_HR_OK(prefs.SaveMachinePreferencesAt(key.path()));
  RawValue raw;
  EXPECT_FALSE(ReadRaw(key.root(), key.sub_key(), u"machine_prefs", &raw));
  EXPECT_EQ(ReadValue(key, u"SendAnonymousData", REG_DWORD), kConsentOff);
  // Again, with the value already gone.
  EXPECT_HR_OK(prefs.SaveMachinePreferencesAt(key.path()));
  EXPECT_FALSE(ReadRaw(key.root(), key.sub_key(), u"machine_prefs", &raw));
}

TEST(MachinePreferencesStore, SendStatsFalseOrAbsentBothClearConsent) {
  TestKey key;
  MachinePreferences with_false;
  ASSERT_TRUE(DecodeBstr(ByteList({0x10, 0x00}), &with_false));
  with_false.SaveMachinePreferencesAt(key.path());
  EXPECT_EQ(ReadValue(key, u"machine_prefs", REG_BINARY), Stored(ByteList({0x10, 0x00})));
  EXPECT_EQ(ReadValue(key, u"SendAnonymousData", REG_DWORD), kConsentOff);

  TestKey other;
  MachinePreferences without;
  ASSERT_TRUE(DecodeBstr(ByteList({0x08, 0x01}), &without));
  without.SaveMachinePreferencesAt(other.path());
  EXPECT_EQ(ReadValue(other, u"machine_prefs", REG_BINARY), Stored(ByteList({0x08, 0x01})));
  EXPECT_EQ(ReadValue(other, u"SendAnonymousData", REG_DWORD), kConsentOff);
}

TEST(MachinePreferencesStore, UnknownFieldsAreStoredUnderTheChecksum) {
  TestKey key;
  MachinePreferences prefs;
  ASSERT_TRUE(DecodeBstr(ByteList({0x48, 0x05, 0x10, 0x01, 0x52, 0x02, 'h', 'i'}), &prefs));
  prefs.SaveMachinePreferencesAt(key.path());
  const auto stored = ReadValue(key, u"machine_prefs", REG_BINARY);
  EXPECT_EQ(stored, Stored(ByteList({0x10, 0x01, 0x48, 0x05, 0x52, 0x02, 'h', 'i'})));
  std::string message;
  ASSERT_TRUE(SplitStoredValue(stored.data(), stored.size(), &message));
  EXPECT_EQ(message.size(), 8u);
  MachinePreferencesProto back;
  ASSERT_TRUE(ReadStoredMessage(stored.data(), stored.size(), &back));
  EXPECT_TRUE(back.send_stats());
}

TEST(MachinePreferencesStore, RegistryFailuresAreNotReported) {
  MachinePreferences prefs;
  ASSERT_TRUE(DecodeBstr(ByteList({0x10, 0x01}), &prefs));
  EXPECT_HR_OK(prefs.SaveMachinePreferencesAt(u"HKCC\\Software\\Velmor"));

  // Below a volatile key no stored key can be created.
  TestKey key;
  ASSERT_TRUE(test::CreateVolatileKey(HKEY_CURRENT_USER, key.sub_key()));
  EXPECT_HR_OK(prefs.SaveMachinePreferencesAt(key.path() + u"\\child"));
  EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, key.sub_key() + u"\\child"));
}

TEST(ProtoRegistryWriterTest, WritesOnlyWhileOpen) {
  TestKey key;
  MachinePreferences prefs;
  prefs.set_send_stats(true);
  ProtoRegistryWriter writer;
  EXPECT_FALSE(writer.Save(&prefs, u"v"));
  EXPECT_FALSE(test::KeyExists(key.root(), key.sub_key()));

  writer.Open(key.path() + u"\\a\\b");
  EXPECT_TRUE(writer.Save(&prefs, u"v"));
  EXPECT_TRUE(RegKey::HasValue(key.path() + u"\\a\\b", u"v"));
  writer.Close();
  EXPECT_FALSE(writer.is_open());
  EXPECT_FALSE(writer.Save(&prefs, u"w"));
  EXPECT_FALSE(RegKey::HasValue(key.path() + u"\\a\\b", u"w"));
}

TEST(ProtoRegistryWriterTest, EmptyMessagesRemoveTheValueAndFailuresAreReported) {
  TestKey key;
  MachinePreferences empty;
  ProtoRegistryWriter writer;
  writer.Open(key.path());
  EXPECT_TRUE(writer.Save(&empty, u"v"));  // no key, no value: nothing to remove
  ASSERT_TRUE(WriteRaw(key.root(), key.sub_key(), u"v", REG_BINARY, "x", 1));
  EXPECT_TRUE(writer.Save(&empty, u"v"));
  EXPECT_FALSE(RegKey::HasValue(key.path(), u"v"));

  MachinePreferences prefs;
  prefs.set_send_stats(true);
  ProtoRegistryWriter unknown_root;
  unknown_root.Open(u"HKXX\\Software");
  EXPECT_FALSE(unknown_root.Save(&prefs, u"v"));
  EXPECT_FALSE(unknown_root.Save(&empty, u"v"));
}

TEST(ProxySettingsStore, AutoDetectAloneStoresSixBytes) {
  TestKey key;
  ProxySettings proxy;
  ASSERT_TRUE(DecodeBstr(ByteList({0x08, 0x01}), &proxy));
  EXPECT_HR_OK(proxy.WriteProxySettingsAt(key.path()));
  EXPECT_EQ(ReadValue(key, u"ProxySettings", REG_BINARY),
            ByteList({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB4}));
}

TEST(ProxySettingsStore, PortsAreFixedWidthFields) {
  TestKey key;
  ProxySettings proxy;
  ASSERT_TRUE(DecodeBstr(ByteList({0x08, 0x00, 0x1D, 0x90, 0x1F, 0x00, 0x00}), &proxy));
  proxy.WriteProxySettingsAt(key.path());
  EXPECT_EQ(ReadValue(key, u"ProxySettings", REG_BINARY),
            ByteList({0x08, 0x00, 0x1D, 0x90, 0x1F, 0x00, 0x00, 0x3B, 0xA1, 0x8A, 0x8D}));
}

TEST(ProxySettingsStore, HostsAreStoredAsUtf8WithoutAByteOrderMark) {
  struct Case {
    std::string arrived, stored;
  } cases[] = {
      {"\xEF\xBB\xBFproxy.local", "proxy.local"},
      {"proxy.example.com", "proxy.example.com"},
      {"pr\xC3\xB8xy.\xE4\xBE\x8B\xE3\x81\x88.jp", "pr\xC3\xB8xy.\xE4\xBE\x8B\xE3\x81\x88.jp"},
      {"\xF0\x9D\x94\xADroxy.example", "\xF0\x9D\x94\xADroxy.example"},
  };
  for (const Case& c : cases) {
    TestKey key;
    ProxySettings proxy;
    const auto host_field = [](const std::string& host) {
      return Concat({ByteList({0x22, static_cast<int>(host.size())}), ByteList(host)});
    };
    ASSERT_TRUE(DecodeBstr(Concat({ByteList({0x08, 0x01}), host_field(c.arrived)}), &proxy));
    proxy.WriteProxySettingsAt(key.path());
    EXPECT_EQ(ReadValue(key, u"ProxySettings", REG_BINARY),
              Stored(Concat({ByteList({0x08, 0x01}), host_field(c.stored)})))
        << c.arrived;
  }
}

TEST(ProxySettingsStore, WriteFailuresAreNotReported) {
  ProxySettings proxy;
  EXPECT_HR_OK(proxy.WriteProxySettingsAt(u"\\Software\\Velmor"));
}

TEST(ProxySettingsStore, DeletionAcceptsMissingValuesAndKeys) {
  TestKey key;
  EXPECT_HR_OK(DeleteProxySettingsAt(key.path()));  // no key
  ASSERT_TRUE(WriteRaw(key.root(), key.sub_key(), u"other", REG_DWORD, "\1\0\0\0", 4));
  EXPECT_HR_OK(DeleteProxySettingsAt(key.path()));  // no value
  ASSERT_TRUE(WriteRaw(key.root(), key.sub_key(), u"ProxySettings", REG_BINARY, "x", 1));
  EXPECT_HR_OK(DeleteProxySettingsAt(key.path()));
  EXPECT_FALSE(RegKey::HasValue(key.path(), u"ProxySettings"));
  EXPECT_TRUE(RegKey::HasValue(key.path(), u"other"));
  EXPECT_HR_OK(DeleteProxySettingsAt(u"HKCC\\x"));
}

}  // namespace
}  // namespace ci
