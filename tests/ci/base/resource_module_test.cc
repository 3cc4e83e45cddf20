// Where the resource module is expected: the version folder when it exists.
#include "ci/base/resource_module.h"

#include <gtest/gtest.h>

#include "ci/base/paths.h"

namespace ci {
namespace {

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

}  // namespace
}  // namespace ci
