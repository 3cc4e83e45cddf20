// adminprefs crash-test: the verdict for each way a report can fail or be
// accepted, the report texts and the child's upload line.
#include "tools/crash_test_report.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

constexpr std::uint32_t kAccessViolation = 0xC0000005u;

RawValue Dword(std::uint32_t value) {
  RawValue raw;
  raw.present = true;
  raw.type = 4;
  for (int i = 0; i < 4; ++i) raw.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return raw;
}

RawValue Qword(std::uint64_t value) {
  RawValue raw;
  raw.present = true;
  raw.type = 11;
  for (int i = 0; i < 8; ++i) raw.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return raw;
}

// A report that went through: consent, a small dump, status 200.
CrashTestObservation Accepted() {
  CrashTestObservation observation;
  observation.report_host = "127.0.0.1";
  observation.consent = true;
  observation.child_exit_code = kAccessViolation;
  observation.dump_path = "C:\\Temp\\adminprefs.exe__.dmp";
  observation.dump_written = true;
  observation.dump_bytes = 200000;
  observation.upload_attempted = true;
  observation.upload.client_created = true;
  observation.upload.status = 200;
  observation.after.md_num = Dword(1);
  observation.after.md_time = Qword(133600000000000000ull);
  observation.after.md_signature = Dword(0x00401234);
  return observation;
}

TEST(CrashTestReportTest, OnlyAnAcceptedReportPasses) {
  struct Case {
    const char* what;
    void (*change)(CrashTestObservation*);
    const char* reason;
  };
  const Case cases[] = {
      {"accepted", [](CrashTestObservation*) {},
       "the report was sent to 127.0.0.1 port 80 and accepted"},
      {"no start", [](CrashTestObservation* o) { o->child_start = kE_FAIL; },
       "could not be started"},
      {"no consent", [](CrashTestObservation* o) { o->consent = false; }, "consent"},
      {"no fault", [](CrashTestObservation* o) { o->child_exit_code = 0; },
       "ended with 0x00000000, not"},
      {"hung", [](CrashTestObservation* o) { o->child_ended = false; }, "still running"},
      {"no dump", [](CrashTestObservation* o) { o->dump_written = false; }, "no dump was written"},
      {"empty", [](CrashTestObservation* o) { o->dump_bytes = 0; }, "the dump is empty"},
      {"over", [](CrashTestObservation* o) { o->dump_bytes = 262145; },
       "262145 bytes, over the limit of 262144"},
      {"kept", [](CrashTestObservation* o) { o->upload_attempted = false; },
       "not handed to the upload"},
      {"no client", [](CrashTestObservation* o) { o->upload.client_created = false; },
       "neither WinHTTP"},
      {"unreachable",
       [](CrashTestObservation* o) {
         o->upload.send_result = static_cast<HResult>(0x80072EFDu);
         o->upload.status = 0;
       },
       "127.0.0.1 port 80 cannot be reached: cannot connect"},
      {"refused", [](CrashTestObservation* o) { o->upload.status = 500; },
       "refused: the crash-report server answered status 500"},
  };
  for (const Case& c : cases) {
    CrashTestObservation observation = Accepted();
    c.change(&observation);
    const CrashTestVerdict verdict = JudgeCrashTest(observation);
    EXPECT_EQ(verdict.accepted, std::string(c.what) == "accepted") << c.what;
    EXPECT_NE(verdict.reason.find(c.reason), std::string::npos) << c.what << ": " << verdict.reason;
    EXPECT_EQ(verdict.reason.find('\n'), std::string::npos);
  }
  // The limit itself is still sent.
  CrashTestObservation at_limit = Accepted();
  at_limit.dump_bytes = 262144;
  EXPECT_TRUE(JudgeCrashTest(at_limit).accepted);
}

TEST(CrashTestReportTest, TheIntroSaysWhatHappensBeforeTheFault) {
  CrashTestObservation observation = Accepted();
  EXPECT_EQ(FormatCrashTestIntro(observation),
            "crash-test: reporting consent (SendAnonymousData) is given: a report goes to "
            "127.0.0.1 port 80\ncrash-test: faulting on purpose in a child process\n");
  observation.consent = false;
  const std::string intro = FormatCrashTestIntro(observation);
  EXPECT_NE(intro.find("not given: the failure will not be reported"), std::string::npos);
  EXPECT_EQ(intro.find("a report goes to"), std::string::npos) << intro;
}

TEST(CrashTestReportTest, TheResultShowsTheDumpTheExchangeAndTheBookkeeping) {
  const CrashTestObservation observation = Accepted();
  EXPECT_EQ(FormatCrashTestResult(observation, JudgeCrashTest(observation)),
            "crash-test: the child process ended with 0xC0000005 (the access violation)\n"
            "dump: C:\\Temp\\adminprefs.exe__.dmp, 200000 bytes, within the limit of 262144 bytes\n"
            "sent: yes, to 127.0.0.1 port 80\n"
            "status: 200\n"
            "md_num: absent -> 1\n"
            "md_time: absent -> 133600000000000000 (2024-05-12 15:06:40 UTC)\n"
            "md_signature: absent -> 0x00401234\n"
            "crash-test: the report was sent to 127.0.0.1 port 80 and accepted (status 200)\n");

  CrashTestObservation over = Accepted();
  over.dump_bytes = 497472;
  over.upload_attempted = false;
  over.upload = ChildUploadReport();
  over.after = over.before;
  const std::string text = FormatCrashTestResult(over, JudgeCrashTest(over));
  EXPECT_NE(text.find("497472 bytes, over the limit of 262144 bytes\nsent: no\nstatus: none\n"
                      "md_num: absent -> absent\n"),
            std::string::npos)
      << text;

  CrashTestObservation unreachable = Accepted();
  unreachable.upload.send_result = static_cast<HResult>(0x80072EFDu);
  unreachable.upload.status = 0;
  EXPECT_NE(FormatCrashTestResult(unreachable, JudgeCrashTest(unreachable))
                .find("sent: no (cannot connect to the server (or no network is available) "
                      "(0x80072EFD))\n"),
            std::string::npos);
}

TEST(CrashTestReportTest, TheJsonReportHasEveryFact) {
  CrashTestObservation observation = Accepted();
  observation.before.md_num = Dword(4);
  observation.after.md_num = Dword(5);
  EXPECT_EQ(FormatCrashTestJson(observation, JudgeCrashTest(observation)),
            "{\"consent\": true, \"report_host\": \"127.0.0.1\", \"report_port\": 80, "
            "\"child_exit_code\": \"0xC0000005\", \"dump\": {\"path\": "
            "\"C:\\\\Temp\\\\adminprefs.exe__.dmp\", \"written\": true, \"bytes\": 200000, "
            "\"limit\": 262144, \"over_limit\": false}, \"sent\": true, \"send_result\": "
            "\"0x00000000\", \"status\": 200, \"accepted\": true, \"before\": {\"md_num\": 4, "
            "\"md_time\": null, \"md_signature\": null}, \"after\": {\"md_num\": 5, \"md_time\": "
            "133600000000000000, \"md_signature\": 4198964}, \"reason\": \"the report was sent "
            "to 127.0.0.1 port 80 and accepted (status 200)\"}\n");
}

TEST(CrashTestReportTest, TheChildsUploadLineRoundTrips) {
  ChildUploadReport sent;
  sent.client_created = true;
  sent.send_result = static_cast<HResult>(0x80072EFDu);
  sent.status = 407;
  const std::string line = FormatChildUploadLine(sent);
  EXPECT_EQ(line, "upload: client 1, result 0x80072EFD, status 407\n");
  ChildUploadReport read;
  ASSERT_TRUE(ParseChildUploadLine("noise\n" + line, &read));
  EXPECT_TRUE(read.client_created);
  EXPECT_EQ(read.send_result, sent.send_result);
  EXPECT_EQ(read.status, 407u);
  EXPECT_FALSE(ParseChildUploadLine("", &read));
  EXPECT_FALSE(ParseChildUploadLine("upload: garbage\n", &read));
}

TEST(CrashTestReportTest, FileTimesReadAsUtcDates) {
  EXPECT_EQ(FileTimeText(0), "1601-01-01 00:00:00 UTC");
  EXPECT_EQ(FileTimeText(116444736000000000ull), "1970-01-01 00:00:00 UTC");
  EXPECT_EQ(FileTimeText(125963423990000000ull), "2000-02-29 23:59:59 UTC");
  EXPECT_EQ(FileTimeText(133600000000000000ull), "2024-05-12 15:06:40 UTC");
}

}  // namespace
}  // namespace ci
