// The report upload against a collector on a loopback address at the fixed
// report port: what is sent, what is accepted and booked (a redirect is a refused
// report), and a crash path on which no failed allocation escapes; the
// observer's installation and its refusal to be re-entered.
#include "ci/crash/report_upload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ci/crash/crash_reporter.h"
#include "ci/crash/debug_observer.h"
#include "ci/net/http_client.h"
#include "failure_at.h"
#include "tests/support/allocation_seams.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/registry_win.h"
#include "tests/support/test_key_win.h"

namespace ci {
namespace test {
namespace {

// A loopback address of this test's own, so that its port 80 is free.
constexpr char kCollectorAddress[] = "127.0.0.83";
constexpr char16_t kCollectorHost[] = u"127.0.0.83";
constexpr std::uint64_t kStart = 134000000000000000ull;

std::uint64_t g_now = kStart;
std::uint64_t FakeClock() { return g_now; }

// A small fake dump, different on every call.
int g_dumps = 0;
bool FakeDumpWriter(HANDLE file, std::uint32_t, EXCEPTION_POINTERS*) {
  std::string bytes = "MDMP fake dump " + std::to_string(++g_dumps) + std::string(3000, '\x7f');
  DWORD written = 0;
  return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::unique_ptr<HttpClient> ClientWithLowerCaseContentType() {
  std::unique_ptr<HttpClient> client = CreateHttpClient();
  if (client) client->request_headers = u"content-type: application/x-dump";
  return client;
}

test::CannedResponse Status(int status) {
  test::CannedResponse response;
  response.status = status;
  return response;
}

using test::FailureAt;

class ReportUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(collector_.Start(kCollectorAddress, kReportPort))
        << "port 80 on " << kCollectorAddress << " is taken or not ours to bind";
    g_now = kStart;
    const DWORD consent = 1;
    ASSERT_TRUE(WriteRaw(key_.root(), key_.sub_key(), u"SendAnonymousData", REG_DWORD, &consent,
                         sizeof(consent)));
  }
  void TearDown() override {
    collector_.Stop();
    ::DeleteFileW(AsWin(DumpFilePath()));
  }

  CrashReporterSettings Settings() {
    CrashReporterSettings settings;
    settings.key_path = key_.path();
    settings.report_host = kCollectorHost;
    settings.clock = FakeClock;
    settings.write_dump = FakeDumpWriter;
    settings.upload = [](const WString& host, const std::vector<std::uint8_t>& bytes) {
      return UploadReport(host, bytes);
    };
    return settings;
  }

  bool ReadValue(const char16_t* name, RawValue* value) {
    return ReadRaw(key_.root(), key_.sub_key(), name, value);
  }
  DWORD ReadDword(const char16_t* name) {
    RawValue value;
    DWORD number = 0xFFFFFFFF;
    if (ReadValue(name, &value) && value.type == REG_DWORD && value.bytes.size() == 4) {
      std::memcpy(&number, value.bytes.data(), 4);
    }
    return number;
  }

  test::LoopbackHttpServer collector_;
  TestKey key_;
};

TEST_F(ReportUploadTest, RequestCarriesTheDumpToTheReportPath) {
  const std::vector<std::uint8_t> dump = {'M', 'D', 'M', 'P', 0, 1, 2, 0xFF};
  ASSERT_TRUE(UploadReport(kCollectorHost, dump));
  const auto requests = collector_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target,
            "/cr?prod=Velmor_Updater&ver=093008_152008&app=ci_crash_upload_test.exe");
  EXPECT_EQ(requests[0].Header("Content-Type"), "binary");
  EXPECT_EQ(requests[0].body, std::string(dump.begin(), dump.end()));
}

TEST_F(ReportUploadTest, OnlyStatus200IsAccepted) {
  const std::vector<std::uint8_t> dump(100, 0x42);
  ReportUploadOutcome outcome;
  for (int status : {200, 304, 404, 407, 500}) {
    collector_.Respond(Status(status));
    EXPECT_EQ(UploadReport(kCollectorHost, dump), status == 200) << status;
    EXPECT_EQ(UploadReport(kCollectorHost, dump, &CreateHttpClient, &outcome), status == 200);
    EXPECT_TRUE(outcome.client_created);
    EXPECT_HR_OK(outcome.send_result);
    EXPECT_EQ(outcome.status, static_cast<std::uint32_t>(status));
  }
  collector_.Stop();
  EXPECT_FALSE(UploadReport(kCollectorHost, dump)) << "nobody listening";
  EXPECT_FALSE(UploadReport(kCollectorHost, dump, &CreateHttpClient, &outcome));
  EXPECT_HR_EQ(outcome.send_result, kE_INTERNET_CANNOT_CONNECT);
  EXPECT_EQ(outcome.status, 0u);
  EXPECT_FALSE(UploadReport(
      kCollectorHost, dump, [] { return std::unique_ptr<HttpClient>(); }, &outcome));
  EXPECT_FALSE(outcome.client_created);
}

TEST_F(ReportUploadTest, ContentTypeAlreadyGivenIsNotAddedAgain) {
  const std::vector<std::uint8_t> dump(10, 1);
  ASSERT_TRUE(UploadReport(kCollectorHost, dump, ClientWithLowerCaseContentType));
  const auto requests = collector_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  int content_types = 0;
  for (const auto& header : requests[0].headers) {
    if (_stricmp(header.first.c_str(), "Content-Type") == 0) ++content_types;
  }
  EXPECT_EQ(content_types, 1);
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-dump");
}

TEST_F(ReportUploadTest, AcceptedReportsAreBookedAndRejectedOnesAreNot) {
  CrashReporter reporter(Settings());
  collector_.Respond(Status(500));
  FailureAt a(0x401000);
  reporter.OnFailure(&a.pointers, 0);
  ASSERT_EQ(collector_.Requests().size(), 1u);
  RawValue value;
  EXPECT_FALSE(ReadValue(u"md_num", &value));
  EXPECT_FALSE(ReadValue(u"md_time", &value));
  EXPECT_FALSE(ReadValue(u"md_signature", &value));

  collector_.Respond(Status(200));
  g_now += 1;
  reporter.OnFailure(&a.pointers, 0);
  const auto requests = collector_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].body.compare(0, 16, "MDMP fake dump 2"), 0) << "a fresh dump";
  EXPECT_EQ(ReadDword(u"md_num"), 1u);
  EXPECT_EQ(ReadDword(u"md_signature"), 0x401000u);
  ASSERT_TRUE(ReadValue(u"md_time", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_QWORD));
  std::uint64_t time = 0;
  ASSERT_EQ(value.bytes.size(), 8u);
  std::memcpy(&time, value.bytes.data(), 8);
  EXPECT_EQ(time, g_now);

  // A day later, a failure without exception information: the signature stays.
  g_now += kOneDayFileTime + 1;
  reporter.OnFailure(nullptr, 0);
  EXPECT_EQ(collector_.Requests().size(), 3u);
  EXPECT_EQ(ReadDword(u"md_num"), 2u);
  EXPECT_EQ(ReadDword(u"md_signature"), 0x401000u);
}

TEST_F(ReportUploadTest, ARedirectedReportIsRefusedAndGoesNowhereElse) {
  test::LoopbackHttpServer elsewhere;
  ASSERT_TRUE(elsewhere.Start("127.0.0.84"));
  const std::vector<std::uint8_t> dump(100, 0x42);
  for (HttpClientFactory factory : {&CreateWinHttpClient, &CreateInetHttpClient}) {
    for (int status : {301, 302, 303, 307, 308}) {
      SCOPED_TRACE(status);
      collector_.Respond(test::RedirectTo(elsewhere, "/cr", status));
      EXPECT_FALSE(UploadReport(kCollectorHost, dump, factory));
    }
  }
  EXPECT_TRUE(elsewhere.Requests().empty());

  // Through the reporter: nothing is booked, so the next failure reports again.
  collector_.Respond(test::RedirectTo(elsewhere, "/cr", 307));
  CrashReporter reporter(Settings());
  FailureAt a(0x401000);
  reporter.OnFailure(&a.pointers, 0);
  RawValue value;
  EXPECT_FALSE(ReadValue(u"md_num", &value));
  EXPECT_FALSE(ReadValue(u"md_signature", &value));
  EXPECT_EQ(reporter.state().last_upload_time, 0u);
  EXPECT_TRUE(elsewhere.Requests().empty());
}

TEST_F(ReportUploadTest, NoFailedAllocationOnTheCrashPathEscapes) {
  // Every allocation of the crash path, the upload over HTTP included, fails in
  // turn (and every one after it): the report ends quietly, and only a report the
  // collector accepted is booked.
  {
    CrashReporter warm_up(Settings());  // binds the libraries and builds the statics
    warm_up.OnFailure(nullptr, 0);
  }
  ASSERT_EQ(collector_.Requests().size(), 1u);
  std::size_t allowed = 0;
  for (;; ++allowed) {
    SCOPED_TRACE(allowed);
    for (const char16_t* name : {u"md_num", u"md_time", u"md_signature"}) {
      ::RegDeleteKeyValueW(key_.root(), AsWin(key_.sub_key()), AsWin(name));
    }
    const std::size_t requests_before = collector_.Requests().size();
    CrashReporter reporter(Settings());
    FailureAt failure(0x401000);
    bool returned = false, refused = false;
    {
      test::FailingAllocations failing(allowed);
      returned = reporter.OnFailure(&failure.pointers, 0);
      refused = failing.refused_any();
    }
    ASSERT_TRUE(returned);
    RawValue count;
    if (ReadValue(u"md_num", &count)) {
      EXPECT_GT(collector_.Requests().size(), requests_before) << "booked, never sent";
    }
    if (!refused) {
      // The whole path ran: sent and booked.
      EXPECT_EQ(collector_.Requests().size(), requests_before + 1);
      EXPECT_EQ(ReadDword(u"md_num"), 1u);
      break;
    }
    ASSERT_LT(allowed, 5000u) << "the path never got through";
  }
  EXPECT_GT(allowed, 10u) << "the path allocates; every allocation was failed once";
}

TEST_F(ReportUploadTest, UploadTimeIsTheCurrentTime) {
  CrashReporterSettings settings = Settings();
  settings.clock = CurrentFileTime;
  CrashReporter reporter(std::move(settings));
  const std::uint64_t before = CurrentFileTime();
  reporter.OnFailure(nullptr, 0);
  const std::uint64_t after = CurrentFileTime();
  RawValue value;
  ASSERT_TRUE(ReadValue(u"md_time", &value));
  ASSERT_EQ(value.bytes.size(), 8u);
  std::uint64_t time = 0;
  std::memcpy(&time, value.bytes.data(), 8);
  EXPECT_GE(time, before);
  EXPECT_LE(time, after);
  EXPECT_EQ(reporter.state().last_upload_time, time);
  EXPECT_EQ(ReadDword(u"md_num"), 1u);
  EXPECT_FALSE(ReadValue(u"md_signature", &value)) << "no address, no signature";
}

// Test-only observer, to see that an observer already in place is left alone.
class OtherObserver : public DebugObserver {
 public:
  bool OnFailure(std::uint32_t, EXCEPTION_POINTERS*, std::uint64_t) override { return true; }
};

TEST_F(ReportUploadTest, AFailureInsideTheObserverDoesNotReenterIt) {
  // The failure handler calls the observer again for a fault inside the report
  // (here: inside the upload); that call returns at once.
  ServerDebugObserver* observer = nullptr;
  int uploads = 0, nested_returned = 0;
  CrashReporterSettings settings = Settings();
  settings.upload = [&](const WString& host, const std::vector<std::uint8_t>& bytes) {
    ++uploads;
    FailureAt inner(0x402000);
    if (observer->OnFailure(0, &inner.pointers, 0)) ++nested_returned;
    return UploadReport(host, bytes);
  };
  CrashReporter reporter(std::move(settings));
  ServerDebugObserver server_observer(&reporter);
  observer = &server_observer;
  FailureAt outer(0x401000);
  EXPECT_TRUE(observer->OnFailure(0, &outer.pointers, 0));
  EXPECT_EQ(uploads, 1);
  EXPECT_EQ(nested_returned, 1);
  EXPECT_EQ(collector_.Requests().size(), 1u);
  EXPECT_EQ(ReadDword(u"md_signature"), 0x401000u);

  // Once it has returned, the next failure is reported again.
  g_now += kOneDayFileTime + 1;
  FailureAt later(0x403000);
  EXPECT_TRUE(observer->OnFailure(0, &later.pointers, 0));
  EXPECT_EQ(uploads, 2);
  EXPECT_EQ(ReadDword(u"md_signature"), 0x403000u);
}

TEST(DebugObserverInstallationTest, InstallsOnlyOverNothingAndClearsOnlyItsOwn) {
  ASSERT_EQ(CurrentDebugObserver, nullptr);
  {
    DebugObserverInstallation installation;
    EXPECT_NE(CurrentDebugObserver, nullptr);
    EXPECT_TRUE(CurrentDebugObserverInstalled);
    DebugObserver* const installed = CurrentDebugObserver;
    InstallServerDebugObserver();
    EXPECT_EQ(CurrentDebugObserver, installed);
  }
  EXPECT_EQ(CurrentDebugObserver, nullptr);
  EXPECT_FALSE(CurrentDebugObserverInstalled);

  OtherObserver other;
  CurrentDebugObserver = &other;
  {
    DebugObserverInstallation installation;
    EXPECT_EQ(CurrentDebugObserver, &other);
    EXPECT_FALSE(CurrentDebugObserverInstalled);
  }
  EXPECT_EQ(CurrentDebugObserver, &other);
  CurrentDebugObserver = nullptr;
}

}  // namespace
}  // namespace test
}  // namespace ci
