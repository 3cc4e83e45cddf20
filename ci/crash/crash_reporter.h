// The crash reporter behind the server's observer: consent, the three throttles,
// the minidump in the temporary directory, its hand-over to an upload, and the
// bookkeeping of accepted reports. The process has one (ProcessCrashReporter in
// ci/crash/debug_observer.h); tests build their own with other settings.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "ci/base/wide_string.h"
#include "ci/crash/reporting_state.h"

namespace ci {

// Writes a minidump of the current process into `file`; the result is not relied on.
using DumpWriter = bool (*)(HANDLE file, std::uint32_t dump_type, EXCEPTION_POINTERS* exception);
// Binds what the dump writer needs (the debug-help library); false when it cannot.
using DumpWriterBinder = bool (*)();
// Sends the dump bytes to the crash-report server `host`; true when it accepted them.
using ReportUpload =
    std::function<bool(const WString& host, const std::vector<std::uint8_t>& dump_bytes)>;

// The dump type used when "minidump_type" cannot be read: handle data with
// filtered memory.
constexpr std::uint32_t kDefaultMinidumpType = 0x0C;

// The current time as a file time (GetSystemTimeAsFileTime).
std::uint64_t CurrentFileTime();

// The crash-report server chosen when the program was built.
const WString& DefaultCrashReportHost();

struct CrashReporterSettings {
  // Where consent and the dump type are read and the bookkeeping values written.
  WString key_path;
  WString report_host;
  std::uint64_t (*clock)() = CurrentFileTime;
  DumpWriter write_dump = nullptr;
  DumpWriterBinder bind_dump_writer = nullptr;  // none: the writer needs nothing bound
  ReportUpload upload;                          // none: nothing is ever accepted; must not throw

  // The product key, the built-in host, the real clock and dbghelp, sending
  // through `upload`.
  static CrashReporterSettings Defaults(ReportUpload upload);
};

class CrashReporter {
 public:
  explicit CrashReporter(CrashReporterSettings settings);
  CrashReporter(const CrashReporter&) = delete;
  CrashReporter& operator=(const CrashReporter&) = delete;

  // Reports the failure when the interval since the last attempt has passed and
  // the user consents. Always true; never throws.
  bool OnFailure(EXCEPTION_POINTERS* exception, std::uint64_t min_interval);

  // True only when "SendAnonymousData" is a REG_DWORD and not zero. Never throws.
  bool ReportingConsent() const;

  // The dump procedure: every failure ends it quietly, an allocation that fails
  // included (nothing is thrown). The dump writer is bound before the file is
  // created, so a missing library leaves no empty dump behind.
  void WriteDumpAndReport(EXCEPTION_POINTERS* exception);

  const ReportingState& state() const { return state_; }
  CrashReporterSettings& settings() { return settings_; }

 private:
  // The dump procedure itself. Its own allocations are checked; what a seam might
  // still throw is kept from leaving by WriteDumpAndReport.
  void Report(EXCEPTION_POINTERS* exception);
  // Sends the dump; on acceptance records the report in memory and the registry.
  bool Upload(const std::vector<std::uint8_t>& dump_bytes);
  void RecordAcceptedUpload(std::uint32_t failure_address);

  CrashReporterSettings settings_;
  ReportingState state_;
};

// "md_signature" (REG_DWORD), "md_time" (REG_QWORD), "md_num" (REG_DWORD).
inline constexpr char16_t kReportSignatureValue[] = u"md_signature";
inline constexpr char16_t kReportTimeValue[] = u"md_time";
inline constexpr char16_t kReportCountValue[] = u"md_num";
inline constexpr char16_t kConsentValue[] = u"SendAnonymousData";
inline constexpr char16_t kMinidumpTypeValue[] = u"minidump_type";

}  // namespace ci
