#include "ci/crash/crash_reporter.h"

#include <utility>

#include "ci/base/hresult.h"
#include "ci/base/win_handles.h"
#include "ci/crash/dump_file.h"
#include "ci/crash/minidump_writer.h"
#include "ci/crash/report_request.h"
#include "ci/prefs/key_paths.h"
#include "ci/prefs/reg_key.h"

#ifndef VU_CRASH_REPORT_HOST
#error "VU_CRASH_REPORT_HOST comes from the build (a host name in quotes)"
#endif

namespace ci {
namespace {

// Reads the flushed dump back in one piece; false for an empty, oversized or
// short file.
bool ReadDump(HANDLE file, std::vector<std::uint8_t>* bytes) {
  ::FlushFileBuffers(file);
  const DWORD size = ::GetFileSize(file, nullptr);
  if (size == INVALID_FILE_SIZE || !IsReportableDumpSize(size)) return false;
  if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  if (!WithoutThrowing([&] { bytes->resize(size); })) return false;
  DWORD read = 0;
  return ::ReadFile(file, bytes->data(), size, &read, nullptr) && read == size;
}

}  // namespace

std::uint64_t CurrentFileTime() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

const WString& DefaultCrashReportHost() {
  static const WString host = u"" VU_CRASH_REPORT_HOST;
  return host;
}

CrashReporterSettings CrashReporterSettings::Defaults(ReportUpload upload) {
  CrashReporterSettings settings;
  settings.upload = std::move(upload);
  settings.key_path = kMachineRoot;
  settings.report_host = DefaultCrashReportHost();
  settings.clock = CurrentFileTime;
  settings.write_dump = WriteMiniDump;
  settings.bind_dump_writer = BindMiniDumpWriter;
  return settings;
}

CrashReporter::CrashReporter(CrashReporterSettings settings) : settings_(std::move(settings)) {}

bool CrashReporter::OnFailure(EXCEPTION_POINTERS* exception, std::uint64_t min_interval) {
  const std::uint64_t now = settings_.clock();
  if (!IntervalElapsed(state_, now, min_interval)) return true;
  state_.last_attempt_time = now;
  if (ReportingConsent()) WriteDumpAndReport(exception);
  return true;
}

bool CrashReporter::ReportingConsent() const {
  DWORD consent = 0;
  bool read = false;
  // The value name becomes a string first, which may fail to allocate.
  WithoutThrowing(
      [&] { read = Succeeded(RegKey::GetValue(settings_.key_path, kConsentValue, &consent)); });
  return read && consent != 0;
}

void CrashReporter::WriteDumpAndReport(EXCEPTION_POINTERS* exception) {
  // A failure handler has nowhere to send an exception: it would end in
  // std::terminate.
  WithoutThrowing([&] { Report(exception); });
}

void CrashReporter::Report(EXCEPTION_POINTERS* exception) {
  const std::uint32_t failure_address =
      exception != nullptr && exception->ExceptionRecord != nullptr
          ? static_cast<std::uint32_t>(
                reinterpret_cast<std::uintptr_t>(exception->ExceptionRecord->ExceptionAddress))
          : 0;
  if (!MayReport(state_, failure_address, settings_.clock())) return;
  if (settings_.write_dump == nullptr) return;
  if (settings_.bind_dump_writer != nullptr && !settings_.bind_dump_writer()) return;

  bool accepted = false;
  {
    UniqueFileHandle file = CreateDumpFile(DumpFilePath());
    if (!file) return;
    DWORD dump_type = kDefaultMinidumpType;
    if (Failed(RegKey::GetValue(settings_.key_path, kMinidumpTypeValue, &dump_type))) {
      dump_type = kDefaultMinidumpType;
    }
    settings_.write_dump(file.get(), dump_type, exception);
    std::vector<std::uint8_t> dump_bytes;
    if (!ReadDump(file.get(), &dump_bytes)) return;
    accepted = Upload(dump_bytes);
  }  // the dump stays in the temporary directory; the next report replaces it
  if (accepted) RecordAcceptedUpload(failure_address);
}

bool CrashReporter::Upload(const std::vector<std::uint8_t>& dump_bytes) {
  return settings_.upload && settings_.upload(settings_.report_host, dump_bytes);
}

void CrashReporter::RecordAcceptedUpload(std::uint32_t failure_address) {
  const std::uint64_t now = settings_.clock();
  RecordAcceptedReport(&state_, failure_address, now);
  // Registry failures do not undo the in-memory record.
  if (failure_address != 0) {
    const DWORD signature = failure_address;
    RegKey::SetValue(settings_.key_path, kReportSignatureValue, REG_DWORD, &signature,
                     sizeof(signature));
  }
  RegKey::SetValue(settings_.key_path, kReportTimeValue, REG_QWORD, &now, sizeof(now));
  DWORD count = 0;
  if (Failed(RegKey::GetValue(settings_.key_path, kReportCountValue, &count))) count = 0;
  ++count;
  RegKey::SetValue(settings_.key_path, kReportCountValue, REG_DWORD, &count, sizeof(count));
}

}  // namespace ci
