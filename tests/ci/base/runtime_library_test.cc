// Run-time libraries: they come from the system directory only (a library planted
// under a platform name beside the executable or in the current directory is not
// loaded, and loaders without the system-directory flag get the full path), and a
// call into one that faults ends as a failed call and the thread goes on, in nested
// guards, repeatedly, on several threads at once.
#include "ci/base/runtime_library_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ci/base/paths.h"

namespace ci {
namespace {

WString SystemDirectory() {
  wchar_t directory[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  return FromWin(directory, length);
}

bool StartsWithIgnoreCase(const WString& text, const WString& prefix) {
  return text.size() >= prefix.size() &&
         ::CompareStringOrdinal(AsWin(text), static_cast<int>(prefix.size()), AsWin(prefix),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// Copies of the planted library beside the executable and in a current
// directory of the test's own, under platform names.
class PlantedLibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    const WString exe_directory = GetDirectoryPart(GetModulePath(nullptr));
    planted_ = AppendPath(exe_directory, u"planted_library.dll");
    current_ = AppendPath(GetTempDirectory(),
                          u"planted " + FromWin(std::to_wstring(::GetCurrentProcessId()).c_str()));
    ASSERT_TRUE(::CreateDirectoryW(AsWin(current_), nullptr));
    wchar_t saved[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    saved_current_ = FromWin(saved);
    ASSERT_TRUE(::SetCurrentDirectoryW(AsWin(current_)));
    for (const char16_t* name : {u"winhttp5.dll", u"IPHLPAPI.DLL", u"wininet.dll"}) {
      for (const WString& directory : {exe_directory, current_}) {
        const WString copy = AppendPath(directory, name);
        ASSERT_TRUE(::CopyFileW(AsWin(planted_), AsWin(copy), FALSE));
        copies_.push_back(copy);
      }
    }
  }
  void TearDown() override {
    ::SetCurrentDirectoryW(AsWin(saved_current_));
    for (const WString& copy : copies_) ::DeleteFileW(AsWin(copy));
    ::RemoveDirectoryW(AsWin(current_));
  }

  static bool IsPlanted(HMODULE module) {
    return module != nullptr && ::GetProcAddress(module, "PlantedLibraryMarker") != nullptr;
  }

  WString planted_, current_, saved_current_;
  std::vector<WString> copies_;
};

TEST_F(PlantedLibraryTest, TheBareNameWouldLoadThePlantedCopy) {
  // The setting is effective: the loader's default search finds the plant.
  HMODULE module = ::LoadLibraryW(L"winhttp5");
  EXPECT_TRUE(IsPlanted(module));
  if (module) ::FreeLibrary(module);
}

TEST_F(PlantedLibraryTest, ANameMissingFromTheSystemDirectoryIsNotLoaded) {
  UniqueLibrary library = LoadSystemLibrary(L"winhttp5");
  EXPECT_FALSE(library);
  EXPECT_FALSE(IsPlanted(library.get()));
}

TEST_F(PlantedLibraryTest, PlatformLibrariesComeFromTheSystemDirectory) {
  for (const wchar_t* name : {L"IPHLPAPI.DLL", L"wininet", L"winhttp"}) {
    SCOPED_TRACE(testing::Message() << FromWin(name).size());
    UniqueLibrary library = LoadSystemLibrary(name);
    ASSERT_TRUE(library);
    EXPECT_FALSE(IsPlanted(library.get()));
    EXPECT_TRUE(StartsWithIgnoreCase(GetModulePath(library.get()), SystemDirectory()));
  }
}

// Loaders that do not know LOAD_LIBRARY_SEARCH_SYSTEM32 refuse it as an invalid
// parameter; the full path in the system directory is loaded instead.
std::vector<std::wstring> calls;
std::vector<DWORD> call_flags;

HMODULE WINAPI OldLoader(LPCWSTR name, HANDLE file, DWORD flags) {
  calls.push_back(name);
  call_flags.push_back(flags);
  if (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ::LoadLibraryExW(name, file, flags);
}

HMODULE WINAPI MissingLoader(LPCWSTR name, HANDLE file, DWORD flags) {
  calls.push_back(name);
  call_flags.push_back(flags);
  ::SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

TEST(SystemLibraryTest, WithoutTheSearchFlagTheFullSystemPathIsLoaded) {
  calls.clear();
  call_flags.clear();
  UniqueLibrary library = LoadSystemLibrary(L"wininet", &OldLoader);
  ASSERT_TRUE(library);
  ASSERT_EQ(calls.size(), 2u);
  const std::wstring expected = std::wstring(AsWin(SystemDirectory())) + L"\\wininet.dll";
  EXPECT_EQ(::CompareStringOrdinal(calls[1].c_str(), -1, expected.c_str(), -1, TRUE), CSTR_EQUAL);
  EXPECT_EQ(call_flags[1], static_cast<DWORD>(LOAD_WITH_ALTERED_SEARCH_PATH));
  // A name that already has an extension keeps it.
  calls.clear();
  call_flags.clear();
  UniqueLibrary helper = LoadSystemLibrary(L"IPHLPAPI.DLL", &OldLoader);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].substr(calls[1].size() - 13), L"\\IPHLPAPI.DLL");
}

TEST(SystemLibraryTest, AMissingLibraryIsNotLookedForElsewhere) {
  calls.clear();
  call_flags.clear();
  EXPECT_FALSE(LoadSystemLibrary(L"winhttp5", &MissingLoader));
  EXPECT_EQ(calls.size(), 1u);
}

TEST(SystemLibraryTest, EntryPointsAreBoundByName) {
  UniqueLibrary library = LoadSystemLibrary(L"IPHLPAPI.DLL");
  ASSERT_TRUE(library);
  DWORD(WINAPI * get_if_table)(void*, PULONG, BOOL) = nullptr;
  EXPECT_TRUE(BindEntryPoint(library.get(), "GetIfTable", &get_if_table));
  EXPECT_NE(get_if_table, nullptr);
  EXPECT_FALSE(BindEntryPoint(library.get(), "NoSuchEntryPoint", &get_if_table));
  EXPECT_EQ(get_if_table, nullptr);
}

// Kept out of line and behind volatile pointers so the compiler cannot see the
// faults coming and fold them away.
__attribute__((noinline)) int ReadThroughNull(int offset) {
  volatile int* volatile nowhere = nullptr;
  return nowhere[offset];
}

// Reads 1 MiB into a region that is reserved and never committed, so the read
// faults wherever the image and the heaps lie (a fixed address far from null can
// be mapped: 4 MiB is where a 32-bit image is loaded).
__attribute__((noinline)) int ReadFarIntoReservedSpace(int) {
  static void* const reserved = ::VirtualAlloc(nullptr, 2 << 20, MEM_RESERVE, PAGE_NOACCESS);
  volatile int* volatile beyond = static_cast<int*>(reserved) + (1 << 18);
  return *beyond;
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
      {"far read", &ReadFarIntoReservedSpace, 0, ERROR_NOACCESS},
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

#if defined(__i386__)
// The 32-bit platform's frame-based handlers: records on the stack, linked from
// fs:[0], newest first. A library that faults under a record of its own leaves it
// linked in the frame the guard abandons; the guard must put back the chain it
// found, or the next exception walks into dead stack.
struct HandlerRecord {
  HandlerRecord* next;
  void* handler;
};

HandlerRecord* ChainHead() {
  HandlerRecord* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}
void SetChainHead(HandlerRecord* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

int own_frame_calls = 0;
int abandoned_frame_calls = 0;

extern "C" EXCEPTION_DISPOSITION __cdecl OwnFrameHandler(EXCEPTION_RECORD* record, void*, CONTEXT*,
                                                         void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  if (record->ExceptionCode != kOwnException) return ExceptionContinueSearch;
  ++own_frame_calls;
  return ExceptionContinueExecution;
}

extern "C" EXCEPTION_DISPOSITION __cdecl AbandonedFrameHandler(EXCEPTION_RECORD*, void*, CONTEXT*,
                                                               void*) {
  ++abandoned_frame_calls;
  return ExceptionContinueSearch;
}

// Links a record of its own, as a library's __try would, and faults under it.
__attribute__((noinline)) int FaultUnderARecordOfItsOwn() {
  HandlerRecord own{ChainHead(), reinterpret_cast<void*>(&AbandonedFrameHandler)};
  SetChainHead(&own);
  return ReadThroughNull(0);
}

TEST(FaultGuardTest, TheHandlerChainIsTheCallersAgainAfterAFault) {
  own_frame_calls = abandoned_frame_calls = 0;
  HandlerRecord outer{ChainHead(), reinterpret_cast<void*>(&OwnFrameHandler)};
  SetChainHead(&outer);

  const int result = GuardedCall<int>(-1, [] { return FaultUnderARecordOfItsOwn(); });
  HandlerRecord* const head_after = ChainHead();
  // The caller's record handles a later exception, and the abandoned one is gone.
  ::RaiseException(kOwnException, 0, 0, nullptr);

  SetChainHead(outer.next);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(head_after, &outer);
  EXPECT_EQ(own_frame_calls, 1);
  EXPECT_EQ(abandoned_frame_calls, 0);
}
#endif

}  // namespace
}  // namespace ci
