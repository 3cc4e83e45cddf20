#include "ci/base/paths.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ci
