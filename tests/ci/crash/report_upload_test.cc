#include "ci/crash/report_upload.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

TEST(ReportRequestTest, PathCarriesProductBuildAndApplicationUnescaped) {
  EXPECT_EQ(BuildReportPath(u"VelmorUpdaterAdminPrefs.exe"),
            u"/cr?prod=Velmor_Updater&ver=093008_152008&app=VelmorUpdaterAdminPrefs.exe");
  EXPECT_EQ(BuildReportPath(u"a b&c.exe"),
            u"/cr?prod=Velmor_Updater&ver=093008_152008&app=a b&c.exe");
}

TEST(ReportRequestTest, ContentTypeAddedOnce) {
  struct Case {
    const char16_t* headers;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"", u"Content-Type: binary"},
      {u"X-A: 1", u"X-A: 1\nContent-Type: binary"},
      {u"content-type: text/plain", u"content-type: text/plain"},
      {u"X-A: 1\r\nCONTENT-TYPE: x", u"X-A: 1\r\nCONTENT-TYPE: x"},
      // The name anywhere counts, as the rule has it.
      {u"X-Old-Content-Type: y", u"X-Old-Content-Type: y"},
  };
  for (const Case& c : cases) {
    WString headers = c.headers;
    AddReportContentType(&headers);
    EXPECT_EQ(headers, c.expected);
    AddReportContentType(&headers);
    EXPECT_EQ(headers, c.expected) << "a second call adds nothing";
  }
}

TEST(ReportRequestTest, DumpSizeLimits) {
  EXPECT_FALSE(IsReportableDumpSize(0));
  EXPECT_TRUE(IsReportableDumpSize(1));
  EXPECT_TRUE(IsReportableDumpSize(262144));
  EXPECT_FALSE(IsReportableDumpSize(262145));
}

}  // namespace
}  // namespace ci
