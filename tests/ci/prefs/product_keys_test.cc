// The stores at the product's own key paths. These keys are shared with other
// tests, so this program runs alone (RUN_SERIAL) and puts back every value it
// touches.
#include <gtest/gtest.h>

#include "ci/base/win_handles.h"
#include "ci/prefs/key_paths.h"
#include "ci/prefs/machine_preferences.h"
#include "ci/prefs/proxy_settings_store.h"
#include "ci/prefs/reg_key.h"
#include "net/proto/decode_blob_win.h"
#include "tests/support/bytes.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/registry_win.h"
#include "tests/support/test_key_win.h"

namespace ci {
namespace {

using test::ByteList;
using test::RawValue;
using test::ReadRaw;
using test::WriteRaw;

const WString kProductSubKey = u"Software\\Velmor\\Velmor Updater";

// Remembers the product values a test may change and restores them afterwards;
// a product key that did not exist before is removed again (if nothing else was
// put below it).
class ProductKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      Snapshot& s = snapshots_[root == HKEY_LOCAL_MACHINE ? 0 : 1];
      s.root = root;
      s.key_existed = test::KeyExists(root, kProductSubKey);
      s.parent_existed = test::KeyExists(root, u"Software\\Velmor");
      for (const char16_t* name : {u"machine_prefs", u"SendAnonymousData", u"ProxySettings"}) {
        Saved saved{name, false, {}};
        saved.existed = ReadRaw(root, kProductSubKey, name, &saved.value);
        s.values.push_back(saved);
      }
    }
  }

  void TearDown() override {
    for (const Snapshot& s : snapshots_) {
      for (const Saved& saved : s.values) {
        if (saved.existed) {
          WriteRaw(s.root, kProductSubKey, saved.name, saved.value.type, saved.value.bytes.data(),
                   static_cast<DWORD>(saved.value.bytes.size()));
        } else {
          test::DeleteValue(s.root, kProductSubKey, saved.name);
        }
      }
      if (!s.key_existed) ::RegDeleteKeyW(s.root, AsWin(kProductSubKey));
      if (!s.parent_existed) ::RegDeleteKeyW(s.root, L"Software\\Velmor");
    }
  }

  static void RemoveProductValue(HKEY root, const WString& name) {
    test::DeleteValue(root, kProductSubKey, name);
  }

 private:
  struct Saved {
    WString name;
    bool existed;
    RawValue value;
  };
  struct Snapshot {
    HKEY root = nullptr;
    bool key_existed = false;
    bool parent_existed = false;
    std::vector<Saved> values;
  };
  Snapshot snapshots_[2];
};

bool DecodeBstr(const std::vector<uint8_t>& bytes, ProtoWrapper* store) {
  UniqueBstr blob = MakeByteBstr(bytes.data(), static_cast<UINT>(bytes.size()));
  return DecodeBlob(blob.get(), store);
}

TEST_F(ProductKeysTest, MachinePreferencesGoToTheMachineKey) {
  MachinePreferences prefs;
  ASSERT_TRUE(DecodeBstr(ByteList({0x10, 0x01}), &prefs));
  EXPECT_HR_OK(prefs.SaveMachinePreferences());
  RawValue raw;
  ASSERT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, kProductSubKey, u"machine_prefs", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(raw.bytes, ByteList({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  // The same key under the other spellings of its path.
  DWORD consent = 0;
  EXPECT_HR_OK(
      RegKey::GetValue(u"hklm\\software\\velmor\\velmor updater", u"SendAnonymousData", &consent));
  EXPECT_EQ(consent, 1u);
  std::vector<uint8_t> bytes;
  EXPECT_HR_OK(RegKey::GetValue(u"HKEY_LOCAL_MACHINE\\Software\\Velmor\\Velmor Updater",
                                u"machine_prefs", &bytes));
  EXPECT_EQ(bytes, raw.bytes);
}

TEST_F(ProductKeysTest, ProxySettingsGoToTheMachineKey) {
  ProxySettings proxy;
  ASSERT_TRUE(DecodeBstr(ByteList({0x08, 0x01}), &proxy));
  EXPECT_HR_OK(proxy.WriteProxySettings());
  RawValue raw;
  ASSERT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, kProductSubKey, u"ProxySettings", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(raw.bytes, ByteList({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB4}));
  RawValue user;
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, kProductSubKey, u"ProxySettings", &user) &&
               user.bytes == raw.bytes);
}

TEST_F(ProductKeysTest, DeleteProxySettingsChoosesMachineOrUser) {
  ASSERT_TRUE(WriteRaw(HKEY_LOCAL_MACHINE, kProductSubKey, u"ProxySettings", REG_BINARY, "m", 1));
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kProductSubKey, u"ProxySettings", REG_BINARY, "u", 1));
  EXPECT_HR_OK(DeleteProxySettings(true));
  EXPECT_FALSE(RegKey::HasValue(kMachineRoot, u"ProxySettings"));
  EXPECT_TRUE(RegKey::HasValue(kUserRoot, u"ProxySettings"));
  EXPECT_HR_OK(DeleteProxySettings(false));
  EXPECT_FALSE(RegKey::HasValue(kUserRoot, u"ProxySettings"));
  // Nothing left to delete is still a success.
  EXPECT_HR_OK(DeleteProxySettings(true));
  EXPECT_HR_OK(DeleteProxySettings(false));
}

TEST_F(ProductKeysTest, AMissingUserKeyIsNoError) {
  if (test::KeyExists(HKEY_CURRENT_USER, kProductSubKey)) {
    RemoveProductValue(HKEY_CURRENT_USER, u"ProxySettings");
    // Only an empty key can be removed without losing other values.
    ::RegDeleteKeyW(HKEY_CURRENT_USER, AsWin(kProductSubKey));
  }
  if (test::KeyExists(HKEY_CURRENT_USER, kProductSubKey)) {
    GTEST_SKIP() << "the per-user product key holds other values";
  }
  EXPECT_HR_OK(DeleteProxySettings(false));
  EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kProductSubKey));
}

}  // namespace
}  // namespace ci
