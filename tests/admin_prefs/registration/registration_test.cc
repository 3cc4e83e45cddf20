// Text rules of the registration: module path replacements, the type library's
// fallback file and help directory.
#include "admin_prefs/registration/registration.h"

#include <gtest/gtest.h>

#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

TEST(ModuleReplacements, QuotesDoubledAndDoubleQuotedForTheServerOnly) {
  const WString path = u"C:\\Program Files\\Velmor's 'Apps'\\VelmorUpdaterAdminPrefs.exe";
  EXPECT_EQ(ModuleReplacement(path),
            u"\"C:\\Program Files\\Velmor''s ''Apps''\\VelmorUpdaterAdminPrefs.exe\"");
  EXPECT_EQ(ModuleRawReplacement(path),
            u"C:\\Program Files\\Velmor''s ''Apps''\\VelmorUpdaterAdminPrefs.exe");
  EXPECT_EQ(EscapeScriptQuotes(u"''"), u"''''");
  EXPECT_EQ(EscapeScriptQuotes(u""), u"");
}

TEST(TypeLibraryFilePath, ReplacesOrAppendsTheExtension) {
  WString out;
  ASSERT_HR_OK(TypeLibraryFilePath(u"C:\\a\\server.exe", &out));
  EXPECT_EQ(out, u"C:\\a\\server.tlb");
  ASSERT_HR_OK(TypeLibraryFilePath(u"C:\\a.b\\server", &out));  // dot only in a folder
  EXPECT_EQ(out, u"C:\\a.b\\server.tlb");
  ASSERT_HR_OK(TypeLibraryFilePath(u"C:\\a\\x.y.exe", &out));
  EXPECT_EQ(out, u"C:\\a\\x.y.tlb");
  ASSERT_HR_OK(TypeLibraryFilePath(u"server", &out));
  EXPECT_EQ(out, u"server.tlb");
}

TEST(TypeLibraryFilePath, ResultMustFitThePathBuffer) {
  const WString stem = u"C:\\" + WString(kMaxModulePathLength - 7, u'd');  // 255 characters
  WString out;
  ASSERT_HR_OK(TypeLibraryFilePath(stem + u".exe", &out));
  EXPECT_EQ(out.size(), kMaxModulePathLength);
  ASSERT_HR_OK(TypeLibraryFilePath(stem, &out));
  EXPECT_EQ(out, stem + u".tlb");

  out = u"unchanged";
  EXPECT_HR_EQ(TypeLibraryFilePath(stem + u"d.exe", &out), kE_FAIL);
  EXPECT_HR_EQ(TypeLibraryFilePath(stem + u"d", &out), kE_FAIL);
  EXPECT_EQ(out, u"unchanged");
}

TEST(HelpDirectoryOf, CutAfterTheLastSeparator) {
  EXPECT_EQ(HelpDirectoryOf(u"C:\\help\\lib.chm"), u"C:\\help\\");
  EXPECT_EQ(HelpDirectoryOf(u"C:/help/sub/lib.chm"), u"C:/help/sub/");
  EXPECT_EQ(HelpDirectoryOf(u"C:lib.chm"), u"C:");
  EXPECT_EQ(HelpDirectoryOf(u"lib.chm"), u"");
  EXPECT_EQ(HelpDirectoryOf(u""), u"");
}

}  // namespace
}  // namespace ci
