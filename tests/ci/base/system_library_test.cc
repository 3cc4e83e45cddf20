// Run-time libraries come from the system directory only: a library planted
// under a platform name beside the executable or in the current directory is not
// loaded, and loaders without the system-directory flag get the full path.
#include "ci/base/system_library_win.h"

#include <gtest/gtest.h>

#include <string>
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

}  // namespace
}  // namespace ci
