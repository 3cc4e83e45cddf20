// The service object in process: creation check (through the seam, since the
// test account is always an administrator here), module locks, the interfaces it
// answers, and aggregation.
#include "admin_prefs/service/admin_prefs_manager.h"

#include <gtest/gtest.h>

#include "admin_prefs/module/class_factory.h"
#include "admin_prefs/module/module.h"
#include "ci/base/win_handles.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

bool Administrator() { return true; }
bool NotAdministrator() { return false; }

HRESULT CreateRefused(IUnknown* outer, REFIID iid, void** object) {
  return AdminPrefsManager::CreateInstance(outer, iid, object, &NotAdministrator);
}

// An outer object that counts the references handed to it by its inner object.
class Outer : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return kS_OK;
    }
    return inner ? inner->QueryInterface(iid, object) : kE_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;
  IUnknown* inner = nullptr;
};

class AdminPrefsManagerTest : public ::testing::Test {
 protected:
  AdminPrefsModule module_{nullptr, 0};
};

TEST_F(AdminPrefsManagerTest, RefusedCreationLeavesNoObjectAndNoLock) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_HR_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IAdminPrefsManager, &object,
                                                 &NotAdministrator),
               static_cast<HRESULT>(0x8042003D));
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(module_.GetLockCount(), 0);

  // The same through a class object, plain and aggregated.
  ComPtr<IClassFactory> factory;
  ASSERT_HR_OK(ClassFactory::Create(&CreateRefused, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf())));
  EXPECT_HR_EQ(factory->CreateInstance(nullptr, IID_IAdminPrefsManager, &object),
               static_cast<HRESULT>(0x8042003D));
  Outer outer;
  EXPECT_HR_EQ(factory->CreateInstance(&outer, IID_IUnknown, &object),
               static_cast<HRESULT>(0x8042003D));
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(outer.refs, 1u);
  factory.Reset();
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, LiveObjectHoldsOneModuleLock) {
  ComPtr<IAdminPrefsManager> manager;
  ASSERT_HR_OK(AdminPrefsManager::CreateInstance(
      nullptr, IID_IAdminPrefsManager, reinterpret_cast<void**>(manager.ReleaseAndGetAddressOf()),
      &Administrator));
  EXPECT_EQ(module_.GetLockCount(), 1);
  ComPtr<IAdminPrefsManager> copy = manager;
  EXPECT_EQ(copy.Reset(), 1u);
  EXPECT_EQ(module_.GetLockCount(), 1);
  EXPECT_EQ(manager.Reset(), 0u);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, AnswersOnlyIUnknownAndIAdminPrefsManager) {
  ComPtr<IAdminPrefsManager> manager;
  ASSERT_HR_OK(AdminPrefsManager::CreateInstance(
      nullptr, IID_IAdminPrefsManager, reinterpret_cast<void**>(manager.ReleaseAndGetAddressOf()),
      &Administrator));
  ComPtr<IUnknown> unknown;
  ASSERT_HR_OK(manager->QueryInterface(IID_IUnknown,
                                       reinterpret_cast<void**>(unknown.ReleaseAndGetAddressOf())));
  ComPtr<IUnknown> again;
  ASSERT_HR_OK(manager->QueryInterface(IID_IUnknown,
                                       reinterpret_cast<void**>(again.ReleaseAndGetAddressOf())));
  EXPECT_EQ(unknown.Get(), again.Get());  // one identity
  again.Reset();
  for (const IID* refused : {&IID_IDispatch, &IID_ISupportErrorInfo, &IID_IClassFactory}) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_HR_EQ(unknown->QueryInterface(*refused, &object), kE_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
  }
  EXPECT_HR_EQ(manager->QueryInterface(IID_IUnknown, nullptr), kE_POINTER);
  unknown.Reset();
  manager.Reset();
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, CreationAskingForAnUnknownInterfaceDestroysTheInstance) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_HR_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IDispatch, &object, &Administrator),
               kE_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(module_.GetLockCount(), 0);
  EXPECT_HR_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IUnknown, nullptr, &Administrator),
               kE_POINTER);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, AggregatedObjectDelegatesToItsOuterObject) {
  Outer outer;
  ComPtr<IUnknown> inner;
  ASSERT_HR_OK(AdminPrefsManager::CreateInstance(
      &outer, IID_IUnknown, reinterpret_cast<void**>(inner.ReleaseAndGetAddressOf()),
      &Administrator));
  outer.inner = inner.Get();
  EXPECT_EQ(outer.refs, 1u);  // the inner unknown's own count is separate
  EXPECT_EQ(module_.GetLockCount(), 1);

  ComPtr<IAdminPrefsManager> manager;
  ASSERT_HR_OK(outer.QueryInterface(IID_IAdminPrefsManager,
                                    reinterpret_cast<void**>(manager.ReleaseAndGetAddressOf())));
  EXPECT_EQ(outer.refs, 2u);  // the interface counts on the outer object
  ComPtr<IUnknown> identity;
  ASSERT_HR_OK(manager->QueryInterface(
      IID_IUnknown, reinterpret_cast<void**>(identity.ReleaseAndGetAddressOf())));
  EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
  EXPECT_EQ(outer.refs, 3u);
  EXPECT_HR_EQ(manager->SaveAdminPreferences(nullptr), kE_INVALIDARG);
  identity.Reset();
  manager.Reset();
  EXPECT_EQ(outer.refs, 1u);

  EXPECT_EQ(inner.Reset(), 0u);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, MessagesThatDoNotDecodeAreRefusedInProcess) {
  ComPtr<IAdminPrefsManager> manager;
  ASSERT_HR_OK(AdminPrefsManager::CreateInstance(
      nullptr, IID_IAdminPrefsManager, reinterpret_cast<void**>(manager.ReleaseAndGetAddressOf()),
      &Administrator));
  UniqueBstr empty = MakeByteBstr("", 0);
  UniqueBstr no_auto_detect = MakeByteBstr("\x12\x00", 2);
  EXPECT_HR_EQ(manager->SaveAdminPreferences(nullptr), kE_INVALIDARG);
  EXPECT_HR_EQ(manager->SaveAdminPreferences(empty.get()), kE_INVALIDARG);
  EXPECT_HR_EQ(manager->SaveProxySettings(nullptr), kE_INVALIDARG);
  EXPECT_HR_EQ(manager->SaveProxySettings(no_auto_detect.get()), kE_INVALIDARG);
  manager.Reset();
}

}  // namespace
}  // namespace ci
