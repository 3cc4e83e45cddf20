// RunProgram: a program by its full path, without a window or waiting.
#include "ci/base/process.h"

#include <gtest/gtest.h>

#include "ci/base/paths.h"
#include "ci/base/win_handles.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

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
