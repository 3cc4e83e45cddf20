// The crash reporter behind the server's observer: the in-memory reporting state
// and the three throttles (platform-free); on Windows the reporter itself with
// its consent check, the minidump in the temporary directory, its hand-over to an
// upload and the bookkeeping of accepted reports. The process has one
// (ProcessCrashReporter in ci/crash/debug_observer.h); tests build their own with
// other settings.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <vector>

#include "ci/base/wide_string.h"
#include "ci/base/win_handles.h"
#endif

namespace ci {

// ---------------------------------------------------------------------------
// Reporting state and throttles. Times are file times: 100-nanosecond units
// since 1601-01-01 UTC. Every process starts with all zeroes; nothing here is
// read back from the registry.

// 24 hours in 100-nanosecond units.
constexpr std::uint64_t kOneDayFileTime = 864000000000ull;

struct ReportingState {
  std::uint64_t last_attempt_time = 0;
  std::uint32_t last_reported_address = 0;
  std::uint64_t last_upload_time = 0;
};

// The caller's minimum interval: false while `now` is not later than the last
// attempt plus `min_interval` (a first attempt always passes). Saturates, so a
// huge interval means "never again" rather than wrapping around.
bool IntervalElapsed(const ReportingState& state, std::uint64_t now, std::uint64_t min_interval);

// One report per failure address (0 is no address and is never matched) and one
// report per 24 hours after a successful upload.
bool MayReport(const ReportingState& state, std::uint32_t failure_address, std::uint64_t now);

// Remembers an accepted report: its address (when not 0) and the upload time.
void RecordAcceptedReport(ReportingState* state, std::uint32_t failure_address, std::uint64_t now);

// The dump type used when "minidump_type" cannot be read: handle data with
// filtered memory.
constexpr std::uint32_t kDefaultMinidumpType = 0x0C;

// "md_signature" (REG_DWORD), "md_time" (REG_QWORD), "md_num" (REG_DWORD).
inline constexpr char16_t kReportSignatureValue[] = u"md_signature";
inline constexpr char16_t kReportTimeValue[] = u"md_time";
inline constexpr char16_t kReportCountValue[] = u"md_num";
inline constexpr char16_t kConsentValue[] = u"SendAnonymousData";
inline constexpr char16_t kMinidumpTypeValue[] = u"minidump_type";

#ifdef _WIN32

// ---------------------------------------------------------------------------
// The reporter.

// Writes a minidump of the current process into `file`; the result is not relied on.
using DumpWriter = bool (*)(HANDLE file, std::uint32_t dump_type, EXCEPTION_POINTERS* exception);
// Binds what the dump writer needs (the debug-help library); false when it cannot.
using DumpWriterBinder = bool (*)();
// Sends the dump bytes to the crash-report server `host`; true when it accepted them.
using ReportUpload =
    std::function<bool(const WString& host, const std::vector<std::uint8_t>& dump_bytes)>;

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
  // The steps of the dump procedure. Their own allocations are checked; what a
  // seam might still throw is kept from leaving by WriteDumpAndReport.

  // A dump writer is set and what it needs is bound.
  bool DumpWriterReady() const;
  // "minidump_type", or kDefaultMinidumpType when it cannot be read.
  std::uint32_t DumpType() const;
  // Creates the dump file, writes the dump, reads it back and uploads it; true
  // when the upload was accepted. The file is closed before this returns; the
  // dump stays in the temporary directory and the next report replaces it.
  bool WriteAndUploadDump(EXCEPTION_POINTERS* exception);
  // Sends the dump through the upload setting.
  bool Upload(const std::vector<std::uint8_t>& dump_bytes);
  // Records an accepted report in memory and the registry.
  void RecordAcceptedUpload(std::uint32_t failure_address);

  CrashReporterSettings settings_;
  ReportingState state_;
};

// ---------------------------------------------------------------------------
// The dump file and its writer.

// "<temporary directory><executable file name>__.dmp"; empty when it cannot be
// built (an allocation failed). Never throws.
WString DumpFilePath();

// Creates the dump file at `path` for reading and writing, unshared, so that no
// link planted at that name, or a directory link on the way to it, is followed:
// an existing entry is removed only when it sits at `path` itself (a symbolic or
// hard link is removed as a name, its target left alone), the file is created
// new, and the open file must be a plain file with one name at `path`. The file
// admits Administrators and SYSTEM only. Returns no handle otherwise. Allocates
// nothing, so it never throws.
// `create` makes the new file (a seam: the descriptor it is given can be looked
// at where the platform keeps none of its own).
using CreateFileFn = HANDLE(WINAPI*)(LPCWSTR name, DWORD access, DWORD share,
                                     LPSECURITY_ATTRIBUTES attributes, DWORD disposition,
                                     DWORD flags, HANDLE template_file);
UniqueFileHandle CreateDumpFile(const WString& path, CreateFileFn create = &::CreateFileW);

// Binds the debug-help library and its MiniDumpWriteDump (once, from the system
// directory); false when either is missing.
bool BindMiniDumpWriter();

// Writes a minidump of this process of `dump_type` (MINIDUMP_TYPE flags) into
// `file`: with the exception stream of `exception` when it is not null, no user
// streams and an empty callback. False when the library or its entry point is
// missing, or the call fails.
bool WriteMiniDump(HANDLE file, std::uint32_t dump_type, EXCEPTION_POINTERS* exception);

#endif  // _WIN32

}  // namespace ci
