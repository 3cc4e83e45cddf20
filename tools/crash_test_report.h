// What adminprefs crash-test saw, judged and reported: the child process that
// faulted, the dump it left, what its upload gave (the child writes one line
// about it), and the bookkeeping values before and after. Platform-free.
#pragma once

#include <cstdint>
#include <string>

#include "ci/base/hresult.h"
#include "tools/stored_report.h"

namespace ci {

// md_num, md_time and md_signature as read under the machine root.
struct ReportBookkeeping {
  RawValue md_num;
  RawValue md_time;
  RawValue md_signature;
};

// What the child's upload gave, as it reports it on its standard output.
struct ChildUploadReport {
  bool client_created = false;
  HResult send_result = kS_OK;
  std::uint32_t status = 0;
};

// The child's one line: "upload: client 1, result 0x00000000, status 200".
std::string FormatChildUploadLine(const ChildUploadReport& report);
// Finds that line in the child's output; false when there is none (no upload
// was made).
bool ParseChildUploadLine(const std::string& output, ChildUploadReport* report);

struct CrashTestObservation {
  std::string report_host;
  bool consent = false;
  HResult child_start = kS_OK;  // a failure: the child could not be started
  bool child_ended = true;      // false: it was still running at the deadline and was ended
  std::uint32_t child_exit_code = 0;
  std::string dump_path;
  bool dump_written = false;
  std::uint64_t dump_bytes = 0;
  bool upload_attempted = false;  // the child wrote its upload line
  ChildUploadReport upload;
  ReportBookkeeping before;
  ReportBookkeeping after;
};

struct CrashTestVerdict {
  bool accepted = false;  // sent, and answered with status 200
  std::string reason;     // one line
};

CrashTestVerdict JudgeCrashTest(const CrashTestObservation& observation);

// The lines printed before the child runs: the consent and where a report goes.
std::string FormatCrashTestIntro(const CrashTestObservation& observation);
// The lines printed after it ended, the verdict last.
std::string FormatCrashTestResult(const CrashTestObservation& observation,
                                  const CrashTestVerdict& verdict);
std::string FormatCrashTestJson(const CrashTestObservation& observation,
                                const CrashTestVerdict& verdict);

// A file time (100-nanosecond units since 1601-01-01 UTC) as
// "2024-06-01 10:00:00 UTC".
std::string FileTimeText(std::uint64_t file_time);

}  // namespace ci
