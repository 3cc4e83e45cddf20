#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include "ci/base/win_handles.h"
#include "ci/crash/locks.h"
#include "tests/support/processes_win.h"

namespace ci {
namespace {

std::wstring UniqueName(const wchar_t* what) {
  return std::wstring(L"Global\\vu_crash_test_") + what + L"_" +
         std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount());
}

// Starts glock_helper.exe from beside this program with `arguments`.
UniqueHandle StartHelper(const std::wstring& arguments) {
  return test::StartProcess(test::Quoted(test::BesideTestProgram(u"glock_helper.exe")) + u" " +
                            FromWin(arguments.c_str()));
}

TEST(GLock, ProcessesTakeTurns) {
  const std::wstring name = UniqueName(L"serial");
  wchar_t temp[MAX_PATH];
  ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring log =
      std::wstring(temp) + L"vu_glock_" + std::to_wstring(::GetCurrentProcessId()) + L".log";
  ::DeleteFileW(log.c_str());

  std::vector<UniqueHandle> processes;
  const int kProcesses = 6;
  for (int i = 0; i < kProcesses; ++i) {
    processes.push_back(
        StartHelper(L"serial " + name + L" \"" + log + L"\" P" + std::to_wstring(i)));
    ASSERT_TRUE(processes.back()) << ::GetLastError();
  }
  for (DWORD code : test::WaitForAll(processes, 60000)) EXPECT_EQ(code, 0u);

  std::ifstream in(std::string(log.begin(), log.end()));
  std::string enter, leave;
  int pairs = 0;
  while (std::getline(in, enter)) {
    ASSERT_TRUE(std::getline(in, leave)) << "unfinished turn " << enter;
    ASSERT_EQ(enter.back(), '+') << enter;
    // Nobody else wrote between this process's entry and exit.
    EXPECT_EQ(leave, enter.substr(0, enter.size() - 1) + "-");
    ++pairs;
  }
  EXPECT_EQ(pairs, kProcesses);
  in.close();
  ::DeleteFileW(log.c_str());
}

TEST(GLock, WaitAfterTheOwnerDiedSucceeds) {
  const std::wstring name = UniqueName(L"abandon");
  GLock lock(name.c_str());
  ASSERT_TRUE(lock.has_handle());
  UniqueHandle owner = StartHelper(L"abandon " + name);
  ASSERT_TRUE(owner);
  ASSERT_EQ(test::WaitForExit(owner.get(), 30000), 0u);
  EXPECT_EQ(lock.TryLockFor(5000), LockWait::kHeld);
  EXPECT_TRUE(lock.Unlock());
}

TEST(GLock, FailedCreationFailsEveryWaitAtOnce) {
  // A mutex cannot take the name of an existing event.
  const std::wstring name = UniqueName(L"taken");
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  ASSERT_TRUE(event);
  GLock lock(name.c_str());
  EXPECT_FALSE(lock.has_handle());
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(lock.Lock());
  EXPECT_EQ(lock.TryLockFor(INFINITE), LockWait::kNoLock);
  EXPECT_EQ(lock.TryLockFor(0), LockWait::kNoLock);
  EXPECT_LT(::GetTickCount() - start, 1000u);
  EXPECT_FALSE(lock.Unlock());
}

TEST(GLock, TimedWaitFailsWhileAnotherHolderHasIt) {
  const std::wstring name = UniqueName(L"held");
  GLock mine(name.c_str());
  ASSERT_TRUE(mine.Lock());
  LockWait other_result = LockWait::kHeld;
  std::thread other([&] {
    GLock theirs(name.c_str());
    other_result = theirs.TryLockFor(50);
  });
  other.join();
  EXPECT_EQ(other_result, LockWait::kTimedOut);
  EXPECT_TRUE(mine.Unlock());
}

class RecordingGLock : public GLock {
 public:
  using GLock::GLock;
  LockWait TryLockFor(std::uint32_t timeout_ms) override {
    seen_timeout = timeout_ms;
    return GLock::TryLockFor(0);
  }
  std::uint32_t seen_timeout = 0;
};

TEST(GLock, UntimedLockGoesThroughTheTimedOverride) {
  const std::wstring name = UniqueName(L"virtual");
  RecordingGLock lock(name.c_str());
  Lockable* as_interface = &lock;
  EXPECT_TRUE(as_interface->Lock());
  EXPECT_EQ(lock.seen_timeout, INFINITE);
  EXPECT_TRUE(as_interface->Unlock());
}

TEST(MutexCreators, PlainCreatorOnOlderClassesExtendedOnVista) {
  ExtendedCreators older;
  ResolveExtendedCreators(kOsUnknown, &older);
  EXPECT_EQ(older.create_mutex_ex, nullptr);
  EXPECT_EQ(older.create_event_ex, nullptr);

  ExtendedCreators vista;
  ResolveExtendedCreators(kOsVista, &vista);
  ASSERT_NE(vista.create_mutex_ex, nullptr);
  EXPECT_NE(vista.create_event_ex, nullptr);

  // Both paths give a handle that waits and releases.
  for (const ExtendedCreators* creators : {&older, &vista}) {
    const std::wstring name = UniqueName(creators == &vista ? L"ex" : L"plain");
    UniqueHandle mutex(CreateNamedMutex(*creators, name.c_str(), NullDaclSecurityAttributes()));
    ASSERT_TRUE(mutex);
    EXPECT_EQ(::WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    EXPECT_TRUE(::ReleaseMutex(mutex.get()));
  }
}

TEST(NullDacl, OneRecordOpenToEveryone) {
  SECURITY_ATTRIBUTES* attributes = NullDaclSecurityAttributes();
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(NullDaclSecurityAttributes(), attributes);
  EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_FALSE(attributes->bInheritHandle);
  BOOL present = FALSE, defaulted = TRUE;
  PACL dacl = reinterpret_cast<PACL>(1);
  ASSERT_TRUE(
      ::GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_EQ(dacl, nullptr);
}

}  // namespace
}  // namespace ci
