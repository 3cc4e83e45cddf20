// The fault guard: a call that faults ends as a failed call and the thread goes
// on, in nested guards, repeatedly, on several threads at once.
#include "ci/base/fault_guard_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace ci {
namespace {

// Kept out of line and behind volatile pointers so the compiler cannot see the
// faults coming and fold them away.
__attribute__((noinline)) int ReadThroughNull(int offset) {
  volatile int* volatile nowhere = nullptr;
  return nowhere[offset];
}

__attribute__((noinline)) int DivideBy(int divisor) {
  volatile int numerator = 7;
  return numerator / divisor;
}

__attribute__((noinline)) int WINAPI FaultingEntryPoint(void* argument, DWORD flags) {
  return ReadThroughNull(static_cast<int>(flags));
}

__attribute__((noinline)) int WINAPI WorkingEntryPoint(void* argument, DWORD flags) {
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  return static_cast<int>(flags) + 1;
}

TEST(FaultGuardTest, FaultingCallsGiveTheFaultValueAndTheThreadGoesOn) {
  struct Case {
    const char* name;
    int (*body)(int);
    int argument;
    DWORD last_error;
  };
  const Case cases[] = {
      {"null read", &ReadThroughNull, 0, ERROR_NOACCESS},
      {"far read", &ReadThroughNull, 1 << 20, ERROR_NOACCESS},
      {"division by zero", &DivideBy, 0, ERROR_UNHANDLED_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GuardedCall<int>(-1, [&] { return c.body(c.argument); }), -1);
    EXPECT_EQ(::GetLastError(), c.last_error);
  }
  EXPECT_EQ(GuardedCall<int>(-1, [] { return DivideBy(7); }), 1);
}

TEST(FaultGuardTest, AnEntryPointOfTheWinapiConventionFaultsAsAFailedCall) {
  using Entry = int(WINAPI*)(void*, DWORD);
  Entry faulting = &FaultingEntryPoint;
  Entry working = &WorkingEntryPoint;
  EXPECT_EQ(CallGuarded<int>(0, faulting, static_cast<void*>(nullptr), DWORD{4}), 0);
  // A call that returns keeps its result and its own last error.
  EXPECT_EQ(CallGuarded<int>(0, working, static_cast<void*>(nullptr), DWORD{4}), 5);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FaultGuardTest, NestedGuardsCatchAtTheInnermostAndTheOuterCallCompletes) {
  bool inner_failed = false;
  const int outer = GuardedCall<int>(-1, [&] {
    inner_failed = GuardedCall<int>(-2, [] { return ReadThroughNull(0); }) == -2;
    return 10;
  });
  EXPECT_TRUE(inner_failed);
  EXPECT_EQ(outer, 10);
  // After the nested pair, a fault is still caught by a new guard.
  EXPECT_EQ(GuardedCall<int>(-3, [] { return ReadThroughNull(0); }), -3);
}

TEST(FaultGuardTest, ThousandsOfFaultsLeaveTheStackAndTheHandlerChainUsable) {
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(GuardedCall<int>(-1, [] { return ReadThroughNull(0); }), -1) << i;
  }
  // Frame-based handling still works after the abandoned frames (the chain the
  // 32-bit build restores).
  EXPECT_EQ(GuardedCall<int>(-1, [] { return DivideBy(1); }), 7);
}

TEST(FaultGuardTest, GuardsOnSeveralThreadsAreIndependent) {
  std::atomic<int> caught{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        if (GuardedCall<int>(-1, [] { return ReadThroughNull(0); }) == -1) ++caught;
        if (GuardedCall<int>(-1, [] { return DivideBy(1); }) == 7) ++caught;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(caught.load(), 4 * 200 * 2);
}

constexpr DWORD kOwnException = 0xE0001234u;
bool own_exception_handled = false;

LONG CALLBACK HandleOwnException(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != kOwnException) return EXCEPTION_CONTINUE_SEARCH;
  own_exception_handled = true;
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(FaultGuardTest, SoftwareExceptionsAreLeftToTheirOwnHandlers) {
  // An exception raised on purpose and handled by a handler of its own is not a
  // fault of the guarded call: the call completes.
  own_exception_handled = false;
  const int result = GuardedCall<int>(-1, [] {
    PVOID handler = ::AddVectoredExceptionHandler(0, &HandleOwnException);
    ::RaiseException(kOwnException, 0, 0, nullptr);
    ::RemoveVectoredExceptionHandler(handler);
    return own_exception_handled ? 1 : 0;
  });
  EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace ci
