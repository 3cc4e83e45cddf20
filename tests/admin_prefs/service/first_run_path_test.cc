// The first-run program's path: joined as plain text from an absolute install
// directory and a version that is one folder name, refused otherwise.
#include "admin_prefs/service/first_run_path.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

TEST(FirstRunPath, JoinedAsPlainText) {
  WString path;
  ASSERT_TRUE(MakeFirstRunProgramPath(u"C:\\Program Files\\Velmor", u"2.4.1368.5602", &path));
  EXPECT_EQ(path, u"C:\\Program Files\\Velmor\\2.4.1368.5602\\vufirstboot.exe");
  ASSERT_TRUE(MakeFirstRunProgramPath(u"C:\\Velmor\\", u"1.0", &path));
  EXPECT_EQ(path, u"C:\\Velmor\\\\1.0\\vufirstboot.exe");
  ASSERT_TRUE(MakeFirstRunProgramPath(u"\\\\server\\share\\Velmor", u"v 2", &path));
  EXPECT_EQ(path, u"\\\\server\\share\\Velmor\\v 2\\vufirstboot.exe");
}

TEST(FirstRunPath, OnlyDriveAndUncPathsAreAbsolute) {
  for (const char16_t* absolute : {u"C:\\", u"c:/Velmor", u"Z:\\a b", u"\\\\server\\share",
                                   u"\\\\?\\C:\\Velmor", u"//server/share"}) {
    EXPECT_TRUE(IsAbsoluteWindowsPath(absolute)) << testing::PrintToString(WString(absolute));
  }
  for (const char16_t* not_absolute :
       {u"", u"Velmor", u".\\Velmor", u"..\\Velmor", u"\\Velmor", u"/Velmor", u"C:", u"C:Velmor",
        u"1:\\Velmor", u"\\\\", u"\\\\\\server", u"::\\x"}) {
    EXPECT_FALSE(IsAbsoluteWindowsPath(not_absolute))
        << testing::PrintToString(WString(not_absolute));
  }
}

TEST(FirstRunPath, VersionMustBeOneFolderName) {
  for (const char16_t* name : {u"2.4.1368.5602", u"1", u"a b", u".hidden", u"1.."}) {
    EXPECT_TRUE(IsSingleFolderName(name)) << testing::PrintToString(WString(name));
  }
  for (const char16_t* name : {u"", u".", u"..", u"...", u"1.0\\..", u"..\\..\\Windows", u"a/b",
                               u"C:", u"1.0:stream", u"\\"}) {
    EXPECT_FALSE(IsSingleFolderName(name)) << testing::PrintToString(WString(name));
  }
}

TEST(FirstRunPath, RefusedValuesLeaveThePathUnchanged) {
  const WString before = u"unchanged";
  struct Case {
    const char16_t* install_dir;
    const char16_t* version;
  };
  for (const Case& c : {Case{u"Velmor", u"1.0"}, Case{u"C:\\Velmor", u""}, Case{u"", u"1.0"},
                        Case{u"C:\\Velmor", u".."}, Case{u"C:\\Velmor", u"x\\..\\..\\evil"},
                        Case{u"\\Velmor", u"1.0"}}) {
    WString path = before;
    EXPECT_FALSE(MakeFirstRunProgramPath(c.install_dir, c.version, &path))
        << testing::PrintToString(WString(c.install_dir)) << " "
        << testing::PrintToString(WString(c.version));
    EXPECT_EQ(path, before);
  }
}

}  // namespace
}  // namespace ci
