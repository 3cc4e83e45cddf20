// The program's files: module paths and path operations; where the resource module
// is expected (the version folder when it exists); RunProgram, a program by its
// full path, without a window or waiting.
#include "ci/base/paths.h"

#include <gtest/gtest.h>

#include "ci/base/win_handles.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

TEST(Paths, ModuleAndExecutable) {
  const WString exe = GetModulePath(nullptr);
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(GetExecutableFileName(), u"ci_base_windows_test.exe");
  // The test is one static executable, so its code lives in the executable.
  EXPECT_EQ(GetCurrentModule(), ::GetModuleHandleW(nullptr));
  EXPECT_EQ(AppendPath(GetCurrentModuleDirectory(), GetExecutableFileName()), exe);
  EXPECT_TRUE(IsDirectory(GetCurrentModuleDirectory()));
  EXPECT_FALSE(IsDirectory(exe));
  EXPECT_FALSE(IsDirectory(GetCurrentModuleDirectory() + u"\\no such folder"));
}

TEST(Paths, TempDirectoryEndsWithBackslash) {
  const WString temp = GetTempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
  EXPECT_TRUE(IsDirectory(temp));
}

TEST(Paths, AppendFileNameAndDirectoryPart) {
  EXPECT_EQ(AppendPath(u"C:\\dir", u"file.dll"), u"C:\\dir\\file.dll");
  EXPECT_EQ(AppendPath(u"C:\\dir\\", u"file.dll"), u"C:\\dir\\file.dll");
  EXPECT_EQ(AppendPath(u"C:\\a b\\2.4.1368.5602", u"cires.dll"),
            u"C:\\a b\\2.4.1368.5602\\cires.dll");
  EXPECT_EQ(GetFileName(u"C:\\dir\\sub\\app.exe"), u"app.exe");
  EXPECT_EQ(GetFileName(u"app.exe"), u"app.exe");
  EXPECT_EQ(GetDirectoryPart(u"C:\\dir\\sub\\app.exe"), u"C:\\dir\\sub");
  EXPECT_EQ(GetDirectoryPart(u"C:\\app.exe"), u"C:\\");
}

class ResourceModuleTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = AppendPath(
        GetDirectoryPart(GetModulePath(nullptr)),
        u"resource module test " + FromWin(std::to_wstring(::GetCurrentProcessId()).c_str()));
    version_ = AppendPath(folder_, kProgramVersionFolder);
    ASSERT_TRUE(::CreateDirectoryW(AsWin(folder_), nullptr));
  }
  void TearDown() override {
    ::RemoveDirectoryW(AsWin(version_));
    ::DeleteFileW(AsWin(version_));
    ::RemoveDirectoryW(AsWin(folder_));
  }

  WString folder_, version_;
};

TEST_F(ResourceModuleTest, BesideTheModuleWithoutTheVersionFolder) {
  EXPECT_EQ(ResourceModulePathFor(folder_), folder_ + u"\\cires.dll");
}

TEST_F(ResourceModuleTest, InTheVersionFolderWhenItExists) {
  ASSERT_TRUE(::CreateDirectoryW(AsWin(version_), nullptr));
  EXPECT_EQ(ResourceModulePathFor(folder_), version_ + u"\\cires.dll");
}

TEST_F(ResourceModuleTest, AFileNamedLikeTheVersionFolderIsNotAFolder) {
  HANDLE file = ::CreateFileW(AsWin(version_), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  EXPECT_EQ(ResourceModulePathFor(folder_), folder_ + u"\\cires.dll");
}

TEST(ResourceModule, EmptyDirectoryGivesAnEmptyPath) { EXPECT_EQ(ResourceModulePathFor(u""), u""); }

TEST(ResourceModule, ComputedOnceForThisModule) {
  const WString& first = GetResourceModulePath();
  EXPECT_EQ(first, ResourceModulePathFor(GetCurrentModuleDirectory()));
  EXPECT_EQ(&GetResourceModulePath(), &first);
}

bool FileExists(const WString& path) {
  return ::GetFileAttributesW(AsWin(path)) != INVALID_FILE_ATTRIBUTES;
}

WString ReadUtf16File(const WString& path) {
  UniqueFileHandle file(::CreateFileW(AsWin(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (!file) return u"<unreadable>";
  WChar buffer[2048] = {};
  DWORD read = 0;
  ::ReadFile(file.get(), buffer, sizeof(buffer) - sizeof(WChar), &read, nullptr);
  return WString(buffer, read / sizeof(WChar));
}

// A copy of the stand-in program in a folder and under a name with spaces.
class RunProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    const WString directory = GetDirectoryPart(GetModulePath(nullptr));
    folder_ = AppendPath(directory, u"run program test " +
                                        FromWin(std::to_wstring(::GetCurrentProcessId()).c_str()));
    program_ = AppendPath(folder_, u"stand in program.exe");
    marker_ = program_ + u".ran";
    ASSERT_TRUE(::CreateDirectoryW(AsWin(folder_), nullptr));
    ASSERT_TRUE(::CopyFileW(AsWin(AppendPath(directory, u"run_program_stand_in.exe")),
                            AsWin(program_), TRUE));
  }
  void TearDown() override {
    ::DeleteFileW(AsWin(marker_));
    ::DeleteFileW(AsWin(program_));
    ::RemoveDirectoryW(AsWin(folder_));
  }

  WString folder_, program_, marker_;
};

TEST_F(RunProgramTest, StartsAPathWithSpacesAsOneProgram) {
  PROCESS_INFORMATION info;
  ASSERT_HR_OK(RunProgram(program_, &info));
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  ASSERT_TRUE(process);
  ASSERT_TRUE(thread);
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_NE(info.dwThreadId, 0u);
  ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  ASSERT_TRUE(::GetExitCodeProcess(process.get(), &code));
  EXPECT_EQ(code, 0u);
  ASSERT_TRUE(FileExists(marker_));

  // The stand-in wrote its command line: the path alone, no arguments. Windows
  // passes the application name as it stands; Wine puts one pair of quotes
  // around it, which RunProgram cannot have added (a quoted application name
  // would not start at all).
  const WString command_line = ReadUtf16File(marker_);
  EXPECT_TRUE(command_line == program_ || command_line == u'"' + program_ + u'"')
      << std::string(command_line.begin(), command_line.end());
}

TEST_F(RunProgramTest, MissingFileGivesTheErrorAndAZeroedRecord) {
  PROCESS_INFORMATION info;
  ::memset(&info, 0xAB, sizeof(info));
  EXPECT_HR_EQ(RunProgram(AppendPath(folder_, u"no such program.exe"), &info),
               static_cast<HResult>(0x80070002u));
  EXPECT_EQ(info.hProcess, nullptr);
  EXPECT_EQ(info.hThread, nullptr);
  EXPECT_EQ(info.dwProcessId, 0u);
  EXPECT_EQ(info.dwThreadId, 0u);
}

}  // namespace
}  // namespace ci
