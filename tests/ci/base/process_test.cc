// RunProgram: a program by its full path, without a window or waiting.
#include "ci/base/process.h"

#include <gtest/gtest.h>

#include "ci/base/paths.h"
#include "ci/base/win_handles.h"

namespace ci {
namespace {

bool FileExists(const WString& path) {
  return ::GetFileAttributesW(AsWin(path)) != INVALID_FILE_ATTRIBUTES;
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
  ASSERT_EQ(RunProgram(program_, &info), kS_OK);
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
  EXPECT_TRUE(FileExists(marker_));
}

TEST_F(RunProgramTest, MissingFileGivesTheErrorAndAZeroedRecord) {
  PROCESS_INFORMATION info;
  ::memset(&info, 0xAB, sizeof(info));
  EXPECT_EQ(RunProgram(AppendPath(folder_, u"no such program.exe"), &info),
            static_cast<HResult>(0x80070002u));
  EXPECT_EQ(info.hProcess, nullptr);
  EXPECT_EQ(info.hThread, nullptr);
  EXPECT_EQ(info.dwProcessId, 0u);
  EXPECT_EQ(info.dwThreadId, 0u);
}

}  // namespace
}  // namespace ci
