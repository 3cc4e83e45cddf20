#include "tools/crash_test_report.h"

#include <cstdio>

#include "ci/crash/report_upload.h"
#include "tools/hex.h"
#include "tools/http_report.h"
#include "tools/json_text.h"

namespace ci {
namespace {

constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegQword = 11;
constexpr std::uint32_t kAccessViolation = 0xC0000005u;
constexpr char kUploadLinePrefix[] = "upload: ";

// The little-endian number of a REG_DWORD or REG_QWORD value; false otherwise.
bool NumberOf(const RawValue& value, std::uint64_t* number) {
  const std::size_t size = value.type == kRegDword ? 4 : value.type == kRegQword ? 8 : 0;
  if (!value.present || size == 0 || value.data.size() != size) return false;
  *number = 0;
  for (std::size_t i = size; i-- > 0;) *number = (*number << 8) | value.data[i];
  return true;
}

enum class Bookkeeping { kCount, kTime, kSignature };

std::string BookkeepingText(const RawValue& value, Bookkeeping kind) {
  if (!value.present) return "absent";
  std::uint64_t number = 0;
  if (!NumberOf(value, &number)) {
    return "type " + std::to_string(value.type) + ": " + FormatHex(value.data);
  }
  switch (kind) {
    case Bookkeeping::kCount:
      return std::to_string(number);
    case Bookkeeping::kTime:
      return std::to_string(number) + " (" + FileTimeText(number) + ")";
    case Bookkeeping::kSignature:
      return Hex32(static_cast<std::uint32_t>(number));
  }
  return "";
}

std::string BookkeepingJson(const RawValue& value) {
  std::uint64_t number = 0;
  if (!value.present) return "null";
  return NumberOf(value, &number) ? std::to_string(number) : JsonString(FormatHex(value.data));
}

std::string BookkeepingObject(const ReportBookkeeping& values) {
  return "{\"md_num\": " + BookkeepingJson(values.md_num) +
         ", \"md_time\": " + BookkeepingJson(values.md_time) +
         ", \"md_signature\": " + BookkeepingJson(values.md_signature) + "}";
}

std::string Destination(const CrashTestObservation& observation) {
  return observation.report_host + " port " + std::to_string(kReportPort);
}

bool Sent(const CrashTestObservation& observation) {
  return observation.upload_attempted && observation.upload.client_created &&
         Succeeded(observation.upload.send_result);
}

std::string ChildEnd(const CrashTestObservation& observation) {
  if (!observation.child_ended) return "was still running at the deadline and was ended";
  std::string text = "ended with " + Hex32(observation.child_exit_code);
  if (observation.child_exit_code == kAccessViolation) text += " (the access violation)";
  return text;
}

}  // namespace

std::string FormatChildUploadLine(const ChildUploadReport& report) {
  return std::string(kUploadLinePrefix) + "client " + (report.client_created ? "1" : "0") +
         ", result " + HResultHex(report.send_result) + ", status " +
         std::to_string(report.status) + "\n";
}

bool ParseChildUploadLine(const std::string& output, ChildUploadReport* report) {
  const std::size_t start = output.find(kUploadLinePrefix);
  if (start == std::string::npos) return false;
  int client = 0;
  unsigned result = 0, status = 0;
  if (std::sscanf(output.c_str() + start, "upload: client %d, result 0x%8X, status %u", &client,
                  &result, &status) != 3) {
    return false;
  }
  report->client_created = client != 0;
  report->send_result = static_cast<HResult>(result);
  report->status = status;
  return true;
}

CrashTestVerdict JudgeCrashTest(const CrashTestObservation& observation) {
  CrashTestVerdict verdict;
  const std::string limit = std::to_string(kMaxReportBytes);
  if (Failed(observation.child_start)) {
    verdict.reason =
        "the test process could not be started (" + HResultHex(observation.child_start) + ")";
  } else if (!observation.consent) {
    verdict.reason =
        "not sent: reporting consent (SendAnonymousData) is not given; give it with "
        "adminprefs set-prefs --send-stats=true";
  } else if (!observation.child_ended || observation.child_exit_code != kAccessViolation) {
    verdict.reason =
        "the test process " + ChildEnd(observation) + ", not with the access violation";
  } else if (!observation.dump_written) {
    verdict.reason = "not sent: no dump was written to " + observation.dump_path +
                     " (is the debug-help library there, the temporary directory writable?)";
  } else if (observation.dump_bytes == 0) {
    verdict.reason = "not sent: the dump is empty";
  } else if (observation.dump_bytes > kMaxReportBytes) {
    verdict.reason = "not sent: the dump is " + std::to_string(observation.dump_bytes) +
                     " bytes, over the limit of " + limit + "; it stays at " +
                     observation.dump_path;
  } else if (!observation.upload_attempted) {
    verdict.reason = "not sent: the dump was written but not handed to the upload";
  } else if (!observation.upload.client_created) {
    verdict.reason = "not sent: neither WinHTTP nor WinINet can be used";
  } else if (Failed(observation.upload.send_result)) {
    verdict.reason = "not sent: " + Destination(observation) +
                     " cannot be reached: " + HttpResultWords(observation.upload.send_result);
  } else if (observation.upload.status != 200) {
    verdict.reason = "refused: the crash-report server answered status " +
                     std::to_string(observation.upload.status) + " (only 200 accepts a report)";
  } else {
    verdict.accepted = true;
    verdict.reason =
        "the report was sent to " + Destination(observation) + " and accepted (status 200)";
  }
  return verdict;
}

std::string FormatCrashTestIntro(const CrashTestObservation& observation) {
  std::string text = "crash-test: reporting consent (SendAnonymousData) is ";
  text += observation.consent ? "given: a report goes to " + Destination(observation)
                              : std::string("not given: the failure will not be reported");
  return text + "\ncrash-test: faulting on purpose in a child process\n";
}

std::string FormatCrashTestResult(const CrashTestObservation& observation,
                                  const CrashTestVerdict& verdict) {
  std::string text;
  if (Succeeded(observation.child_start)) {
    text += "crash-test: the child process " + ChildEnd(observation) + "\n";
  }
  text += "dump: ";
  if (!observation.dump_written) {
    text += "none written (" + observation.dump_path + ")\n";
  } else {
    text += observation.dump_path + ", " + std::to_string(observation.dump_bytes) + " bytes, " +
            (observation.dump_bytes > kMaxReportBytes ? "over" : "within") + " the limit of " +
            std::to_string(kMaxReportBytes) + " bytes\n";
  }
  text +=
      std::string("sent: ") + (Sent(observation) ? "yes, to " + Destination(observation) : "no");
  if (observation.upload_attempted && !Sent(observation)) {
    text += " (" + HttpResultWords(observation.upload.send_result) + ")";
  }
  text += "\nstatus: " +
          (observation.upload.status ? std::to_string(observation.upload.status) : "none") + "\n";
  text += "md_num: " + BookkeepingText(observation.before.md_num, Bookkeeping::kCount) + " -> " +
          BookkeepingText(observation.after.md_num, Bookkeeping::kCount) + "\n";
  text += "md_time: " + BookkeepingText(observation.before.md_time, Bookkeeping::kTime) + " -> " +
          BookkeepingText(observation.after.md_time, Bookkeeping::kTime) + "\n";
  text +=
      "md_signature: " + BookkeepingText(observation.before.md_signature, Bookkeeping::kSignature) +
      " -> " + BookkeepingText(observation.after.md_signature, Bookkeeping::kSignature) + "\n";
  return text + "crash-test: " + verdict.reason + "\n";
}

std::string FormatCrashTestJson(const CrashTestObservation& observation,
                                const CrashTestVerdict& verdict) {
  return "{\"consent\": " + std::string(observation.consent ? "true" : "false") +
         ", \"report_host\": " + JsonString(observation.report_host) +
         ", \"report_port\": " + std::to_string(kReportPort) + ", \"child_exit_code\": " +
         (observation.child_ended && Succeeded(observation.child_start)
              ? JsonString(Hex32(observation.child_exit_code))
              : std::string("null")) +
         ", \"dump\": {\"path\": " + JsonString(observation.dump_path) +
         ", \"written\": " + (observation.dump_written ? "true" : "false") +
         ", \"bytes\": " + std::to_string(observation.dump_bytes) +
         ", \"limit\": " + std::to_string(kMaxReportBytes) +
         ", \"over_limit\": " + (observation.dump_bytes > kMaxReportBytes ? "true" : "false") +
         "}, \"sent\": " + (Sent(observation) ? "true" : "false") + ", \"send_result\": " +
         (observation.upload_attempted ? JsonString(HResultHex(observation.upload.send_result))
                                       : std::string("null")) +
         ", \"status\": " + std::to_string(observation.upload.status) +
         ", \"accepted\": " + (verdict.accepted ? "true" : "false") +
         ", \"before\": " + BookkeepingObject(observation.before) +
         ", \"after\": " + BookkeepingObject(observation.after) +
         ", \"reason\": " + JsonString(verdict.reason) + "}\n";
}

std::string FileTimeText(std::uint64_t file_time) {
  constexpr std::uint64_t kPerSecond = 10000000;
  const std::uint64_t seconds = file_time / kPerSecond;
  // Days since 1970-01-01 (1601 to 1970 is 134,774 days), then the civil date.
  const long long days = static_cast<long long>(seconds / 86400) - 134774;
  const unsigned second_of_day = static_cast<unsigned>(seconds % 86400);
  const long long shifted = days + 719468;
  const long long era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(shifted - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned month_index = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const unsigned month = month_index < 10 ? month_index + 3 : month_index - 9;
  const long long year = static_cast<long long>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
  char text[40];
  std::snprintf(text, sizeof(text), "%04lld-%02u-%02u %02u:%02u:%02u UTC", year, month, day,
                second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60);
  return text;
}

}  // namespace ci
