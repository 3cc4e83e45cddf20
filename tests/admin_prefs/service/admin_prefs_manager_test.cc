// The service object in process: creation check (through the seam, since the
// test account is always an administrator here), module locks, the interfaces it
// answers, and aggregation.
#include "admin_prefs/service/admin_prefs_manager.h"

#include <gtest/gtest.h>

#include "admin_prefs/module/class_factory.h"
#include "admin_prefs/module/module.h"

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
  EXPECT_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IAdminPrefsManager, &object,
                                              &NotAdministrator),
            static_cast<HRESULT>(0x8042003D));
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(module_.GetLockCount(), 0);

  // The same through a class object, plain and aggregated.
  IClassFactory* factory = nullptr;
  ASSERT_EQ(ClassFactory::Create(&CreateRefused, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)),
            kS_OK);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IAdminPrefsManager, &object),
            static_cast<HRESULT>(0x8042003D));
  Outer outer;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &object), static_cast<HRESULT>(0x8042003D));
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(outer.refs, 1u);
  factory->Release();
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, LiveObjectHoldsOneModuleLock) {
  IAdminPrefsManager* manager = nullptr;
  ASSERT_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IAdminPrefsManager,
                                              reinterpret_cast<void**>(&manager), &Administrator),
            kS_OK);
  EXPECT_EQ(module_.GetLockCount(), 1);
  manager->AddRef();
  EXPECT_EQ(manager->Release(), 1u);
  EXPECT_EQ(module_.GetLockCount(), 1);
  EXPECT_EQ(manager->Release(), 0u);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, AnswersOnlyIUnknownAndIAdminPrefsManager) {
  IAdminPrefsManager* manager = nullptr;
  ASSERT_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IAdminPrefsManager,
                                              reinterpret_cast<void**>(&manager), &Administrator),
            kS_OK);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), kS_OK);
  IUnknown* again = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), kS_OK);
  EXPECT_EQ(unknown, again);  // one identity
  again->Release();
  for (const IID* refused : {&IID_IDispatch, &IID_ISupportErrorInfo, &IID_IClassFactory}) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(unknown->QueryInterface(*refused, &object), kE_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
  }
  EXPECT_EQ(manager->QueryInterface(IID_IUnknown, nullptr), kE_POINTER);
  unknown->Release();
  manager->Release();
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, CreationAskingForAnUnknownInterfaceDestroysTheInstance) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IDispatch, &object, &Administrator),
            kE_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(module_.GetLockCount(), 0);
  EXPECT_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IUnknown, nullptr, &Administrator),
            kE_POINTER);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, AggregatedObjectDelegatesToItsOuterObject) {
  Outer outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(AdminPrefsManager::CreateInstance(&outer, IID_IUnknown,
                                              reinterpret_cast<void**>(&inner), &Administrator),
            kS_OK);
  outer.inner = inner;
  EXPECT_EQ(outer.refs, 1u);  // the inner unknown's own count is separate
  EXPECT_EQ(module_.GetLockCount(), 1);

  IAdminPrefsManager* manager = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_IAdminPrefsManager, reinterpret_cast<void**>(&manager)), kS_OK);
  EXPECT_EQ(outer.refs, 2u);  // the interface counts on the outer object
  IUnknown* identity = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), kS_OK);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  EXPECT_EQ(outer.refs, 3u);
  EXPECT_EQ(manager->SaveAdminPreferences(nullptr), kE_INVALIDARG);
  identity->Release();
  manager->Release();
  EXPECT_EQ(outer.refs, 1u);

  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(AdminPrefsManagerTest, MessagesThatDoNotDecodeAreRefusedInProcess) {
  IAdminPrefsManager* manager = nullptr;
  ASSERT_EQ(AdminPrefsManager::CreateInstance(nullptr, IID_IAdminPrefsManager,
                                              reinterpret_cast<void**>(&manager), &Administrator),
            kS_OK);
  UniqueBstr empty = MakeByteBstr("", 0);
  UniqueBstr no_auto_detect = MakeByteBstr("\x12\x00", 2);
  EXPECT_EQ(manager->SaveAdminPreferences(nullptr), kE_INVALIDARG);
  EXPECT_EQ(manager->SaveAdminPreferences(empty.get()), kE_INVALIDARG);
  EXPECT_EQ(manager->SaveProxySettings(nullptr), kE_INVALIDARG);
  EXPECT_EQ(manager->SaveProxySettings(no_auto_detect.get()), kE_INVALIDARG);
  manager->Release();
}

}  // namespace
}  // namespace ci
