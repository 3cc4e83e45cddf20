// The Windows module and class factory in process: lock counting through the
// class object, the message loop ended by the idle monitor, the global
// interface table.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "admin_prefs/module/class_factory.h"
#include "admin_prefs/module/module.h"
#include "ci/base/win_handles.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

// {6F1B0C52-9D57-4C5E-8C2B-2B4E8D0F51A7}: a class of this test only.
const CLSID kTestClass = {
    0x6F1B0C52, 0x9D57, 0x4C5E, {0x8C, 0x2B, 0x2B, 0x4E, 0x8D, 0x0F, 0x51, 0xA7}};

IUnknown* g_seen_outer = nullptr;
int g_creations = 0;

// Records the call and hands out a fixed object.
class Dummy : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = this;
    return kS_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
} g_dummy;

HRESULT RecordingCreator(IUnknown* outer, REFIID iid, void** object) {
  ++g_creations;
  g_seen_outer = outer;
  *object = &g_dummy;
  return kS_OK;
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_creations = 0;
    g_seen_outer = nullptr;
  }
  ClassEntry table_[1] = {{&kTestClass, &RecordingCreator, 0}};
  AdminPrefsModule module_{table_, 1};
};

TEST_F(ModuleTest, InitialisesComHereAndIsTheProcessModule) {
  EXPECT_FALSE(module_.initialisation_failed());
  EXPECT_TRUE(module_.com_initialised_here());
  EXPECT_EQ(AdminPrefsModule::Instance(), &module_);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(ModuleTest, ClassFactoryChecksArgumentsAndHoldsNoLock) {
  ComPtr<IClassFactory> factory;
  ASSERT_HR_OK(ClassFactory::Create(&RecordingCreator, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf())));
  EXPECT_EQ(module_.GetLockCount(), 0);

  EXPECT_HR_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), kE_POINTER);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_HR_EQ(factory->CreateInstance(&g_dummy, IID_IClassFactory, &object),
               kCLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(g_creations, 0);

  EXPECT_HR_OK(factory->CreateInstance(&g_dummy, IID_IUnknown, &object));
  EXPECT_EQ(g_seen_outer, &g_dummy);
  EXPECT_HR_OK(factory->CreateInstance(nullptr, IID_IClassFactory, &object));
  EXPECT_EQ(g_seen_outer, nullptr);
  EXPECT_EQ(g_creations, 2);

  ComPtr<IUnknown> other;
  EXPECT_HR_EQ(factory->QueryInterface(IID_IDispatch,
                                       reinterpret_cast<void**>(other.ReleaseAndGetAddressOf())),
               kE_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(factory.Reset(), 0u);
}

TEST_F(ModuleTest, LockServerCountsModuleLocks) {
  ComPtr<IClassFactory> factory;
  ASSERT_HR_OK(ClassFactory::Create(&RecordingCreator, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf())));
  EXPECT_HR_OK(factory->LockServer(TRUE));
  EXPECT_HR_OK(factory->LockServer(TRUE));
  EXPECT_EQ(module_.GetLockCount(), 2);
  EXPECT_HR_OK(factory->LockServer(FALSE));
  EXPECT_EQ(module_.GetLockCount(), 1);
  EXPECT_HR_OK(factory->LockServer(FALSE));
  EXPECT_EQ(module_.GetLockCount(), 0);
  factory.Reset();
}

TEST_F(ModuleTest, GlobalInterfaceTableIsMadeOnceAndShared) {
  EXPECT_HR_EQ(module_.GetGITPtr(nullptr), kE_POINTER);
  ComPtr<IGlobalInterfaceTable> first;
  ComPtr<IGlobalInterfaceTable> second;
  ASSERT_HR_OK(module_.GetGITPtr(&first));
  ASSERT_HR_OK(module_.GetGITPtr(&second));
  EXPECT_EQ(first, second);
  first.Reset();
  second.Reset();
}

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST_F(ModuleTest, ServerWithoutObjectsEndsAfterTheIdleTimeOut) {
  module_.lifetime().set_idle_timeout_ms(300);
  module_.lifetime().set_pause_ms(50);
  const auto start = Clock::now();
  EXPECT_HR_OK(module_.RunServer());
  const long long elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 340);
  EXPECT_LT(elapsed, 3000);
  EXPECT_EQ(table_[0].cookie, 0u);  // revoked
}

TEST_F(ModuleTest, HeldLockKeepsTheServerUntilReleasedPlusTheTimeOut) {
  module_.lifetime().set_idle_timeout_ms(300);
  module_.lifetime().set_pause_ms(0);
  module_.Lock();
  std::thread releaser([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    module_.Unlock();
  });
  const auto start = Clock::now();
  EXPECT_HR_OK(module_.RunServer());
  const long long elapsed = MillisecondsSince(start);
  releaser.join();
  EXPECT_GE(elapsed, 1080);
  EXPECT_LT(elapsed, 4000);
}

TEST_F(ModuleTest, WithoutDelayedShutdownTheLastReleaseQuitsAtOnce) {
  module_.lifetime().set_delayed_shutdown(false);
  module_.Lock();
  std::thread releaser([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    module_.Unlock();
  });
  const auto start = Clock::now();
  EXPECT_HR_OK(module_.RunServer());
  const long long elapsed = MillisecondsSince(start);
  releaser.join();
  EXPECT_GE(elapsed, 190);
  EXPECT_LT(elapsed, 2000);
}

ComPtr<IClassFactory> g_factory;

// Timer callbacks (stdcall on 32-bit, so named functions rather than lambdas).
void CALLBACK LockOnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_factory->LockServer(TRUE);
}

void CALLBACK UnlockOnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_factory->LockServer(FALSE);
}

TEST_F(ModuleTest, LockServerHoldsTheServingModule) {
  module_.lifetime().set_idle_timeout_ms(300);
  module_.lifetime().set_pause_ms(0);
  ASSERT_HR_OK(ClassFactory::Create(&RecordingCreator, IID_IClassFactory,
                                    reinterpret_cast<void**>(g_factory.ReleaseAndGetAddressOf())));
  // Inside the loop: lock at once, unlock after a second.
  ASSERT_NE(SetTimer(nullptr, 0, 10, &LockOnTimer), 0u);
  ASSERT_NE(SetTimer(nullptr, 0, 1000, &UnlockOnTimer), 0u);
  const auto start = Clock::now();
  EXPECT_HR_OK(module_.RunServer());
  const long long elapsed = MillisecondsSince(start);
  g_factory.Reset();
  EXPECT_GE(elapsed, 1280);
  EXPECT_LT(elapsed, 4000);
  EXPECT_EQ(module_.GetLockCount(), 0);
}

TEST_F(ModuleTest, LockTakenDuringThePauseAfterTheIdleDecisionKeepsServing) {
  // Idle decision at about 300 ms; the pause of 1000 ms still dispatches, so the
  // lock taken at 600 ms (as an activation would) resumes serving until it is
  // released at 1800 ms, and the server ends a time-out and a pause later.
  module_.lifetime().set_idle_timeout_ms(300);
  module_.lifetime().set_pause_ms(1000);
  ASSERT_HR_OK(ClassFactory::Create(&RecordingCreator, IID_IClassFactory,
                                    reinterpret_cast<void**>(g_factory.ReleaseAndGetAddressOf())));
  ASSERT_NE(SetTimer(nullptr, 0, 600, &LockOnTimer), 0u);
  ASSERT_NE(SetTimer(nullptr, 0, 1800, &UnlockOnTimer), 0u);
  const auto start = Clock::now();
  EXPECT_HR_OK(module_.RunServer());
  const long long elapsed = MillisecondsSince(start);
  g_factory.Reset();
  EXPECT_GE(elapsed, 1800 + 300 + 1000 - 20);
  EXPECT_LT(elapsed, 6000);
  EXPECT_EQ(module_.GetLockCount(), 0);
  EXPECT_EQ(table_[0].cookie, 0u);
}

BOOL WINAPI BrokenGetMessage(MSG*, HWND, UINT, UINT) {
  SetLastError(ERROR_INVALID_HANDLE);
  return -1;
}

TEST_F(ModuleTest, MessageLoopThatCannotReadMessagesEndsWithItsError) {
  module_.set_get_message(&BrokenGetMessage);
  const auto start = Clock::now();
  EXPECT_HR_EQ(module_.RunServer(), HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
  EXPECT_LT(MillisecondsSince(start), 2000);  // no idle wait, no pause
  EXPECT_EQ(table_[0].cookie, 0u);            // the class object is taken back
}

HRESULT g_class_object_lookup = kE_FAIL;

void CALLBACK LookUpClassObjectOnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ComPtr<IUnknown> class_object;
  g_class_object_lookup =
      CoGetClassObject(kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IUnknown,
                       reinterpret_cast<void**>(class_object.ReleaseAndGetAddressOf()));
  class_object.Reset();
}

TEST_F(ModuleTest, ClassObjectIsRegisteredWhileServing) {
  module_.lifetime().set_idle_timeout_ms(1000);
  module_.lifetime().set_pause_ms(0);
  g_class_object_lookup = kE_FAIL;
  // Looked up from inside the message loop by a one-shot timer.
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &LookUpClassObjectOnTimer);
  ASSERT_NE(timer, 0u);
  EXPECT_HR_OK(module_.RunServer());
  EXPECT_HR_OK(g_class_object_lookup);
}

}  // namespace
}  // namespace ci
