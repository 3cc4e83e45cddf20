// The service operations through real COM: this test program is a client in its
// own process and the server runs as a local server, started by COM.
#include <windows.h>

#include <gtest/gtest.h>

#include "ci/prefs/stored_value.h"
#include "tests/admin_prefs/server_test_support.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace test {
namespace {

class ServiceComTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_HR_OK(RegisterServerForTests());
    ASSERT_TRUE(WaitForNoServer());
  }
  static void TearDownTestSuite() {
    // Every object is gone: the server ends by itself.
    EXPECT_TRUE(WaitForNoServer());
    DeleteStoredValues();
  }
  void SetUp() override {
    DeleteStoredValues();
    ASSERT_HR_OK(CreateServiceObject(&manager_));
  }
  void TearDown() override { manager_.Reset(); }

  ComApartment com_;
  ComPtr<IAdminPrefsManager> manager_;
};

std::string SendAnonymousData() {
  const std::string bytes = StoredBytes(L"SendAnonymousData");
  if (bytes.size() != 4) return bytes;
  return std::to_string(static_cast<unsigned char>(bytes[0]));
}

TEST_F(ServiceComTest, StoredVectorsArriveByteForByte) {
  EXPECT_HR_OK(manager_->SaveAdminPreferences(Blob(ByteString({0x10, 0x01})).get()));
  EXPECT_EQ(StoredBytes(L"machine_prefs"), ByteString({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  EXPECT_EQ(SendAnonymousData(), "1");

  EXPECT_HR_OK(manager_->SaveProxySettings(Blob(ByteString({0x08, 0x01})).get()));
  EXPECT_EQ(StoredBytes(L"ProxySettings"), ByteString({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB4}));

  // Each call writes again.
  EXPECT_HR_OK(manager_->SaveAdminPreferences(Blob(ByteString({0x10, 0x00})).get()));
  EXPECT_EQ(SendAnonymousData(), "0");
}

TEST_F(ServiceComTest, MessagesThatDoNotDecodeAreRefusedAndWriteNothing) {
  ASSERT_HR_OK(manager_->SaveAdminPreferences(Blob(ByteString({0x10, 0x01})).get()));
  ASSERT_HR_OK(manager_->SaveProxySettings(Blob(ByteString({0x08, 0x01})).get()));
  const std::string prefs_before = StoredBytes(L"machine_prefs");
  const std::string proxy_before = StoredBytes(L"ProxySettings");

  UniqueBstr empty = Blob("");
  EXPECT_HR_EQ(manager_->SaveAdminPreferences(nullptr), kE_INVALIDARG);
  EXPECT_HR_EQ(manager_->SaveAdminPreferences(empty.get()), kE_INVALIDARG);
  // Even lengths: an odd-length BSTR may arrive padded with a zero byte, which can
  // complete a cut message (0x10 alone arrives as 0x10 0x00 under Wine).
  EXPECT_HR_EQ(manager_->SaveAdminPreferences(Blob(ByteString({0x10, 0x80})).get()), kE_INVALIDARG);
  EXPECT_HR_EQ(manager_->SaveAdminPreferences(Blob(ByteString({0x12, 0x05})).get()), kE_INVALIDARG);
  EXPECT_HR_EQ(manager_->SaveProxySettings(nullptr), kE_INVALIDARG);
  EXPECT_HR_EQ(manager_->SaveProxySettings(empty.get()), kE_INVALIDARG);
  EXPECT_HR_EQ(manager_->SaveProxySettings(Blob(ByteString({0x12, 0x00})).get()), kE_INVALIDARG);

  EXPECT_EQ(StoredBytes(L"machine_prefs"), prefs_before);
  EXPECT_EQ(StoredBytes(L"ProxySettings"), proxy_before);
  EXPECT_EQ(SendAnonymousData(), "1");
}

TEST_F(ServiceComTest, OddLengthMessageIsStoredWithAValidChecksum) {
  // Five bytes: auto_detect and http_host "a" (an odd-length BSTR).
  const std::string message = ByteString({0x08, 0x01, 0x12, 0x01, 0x61});
  EXPECT_HR_OK(manager_->SaveProxySettings(Blob(message).get()));
  const std::string stored = StoredBytes(L"ProxySettings");
  std::string message_bytes;
  ASSERT_TRUE(SplitStoredValue(reinterpret_cast<const uint8_t*>(stored.data()), stored.size(),
                               &message_bytes));
  EXPECT_EQ(message_bytes, message);
}

TEST_F(ServiceComTest, QueryInterfaceRefusesIDispatch) {
  ComPtr<IDispatch> dispatch;
  EXPECT_HR_EQ(manager_->QueryInterface(
                   IID_IDispatch, reinterpret_cast<void**>(dispatch.ReleaseAndGetAddressOf())),
               kE_NOINTERFACE);
  EXPECT_EQ(dispatch, nullptr);
  ComPtr<IUnknown> unknown;
  ASSERT_HR_OK(manager_->QueryInterface(
      IID_IUnknown, reinterpret_cast<void**>(unknown.ReleaseAndGetAddressOf())));
  unknown.Reset();
}

TEST_F(ServiceComTest, OneServerProcessServesSeveralObjects) {
  ComPtr<IAdminPrefsManager> second;
  ASSERT_HR_OK(CreateServiceObject(&second));
  EXPECT_HR_OK(second->SaveAdminPreferences(Blob(ByteString({0x08, 0x01})).get()));
  second.Reset();
  EXPECT_EQ(ServerProcessIds().size(), 1u);
}

}  // namespace
}  // namespace test
}  // namespace ci
