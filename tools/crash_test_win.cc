#include "tools/crash_test_win.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "ci/base/hresult.h"
#include "ci/base/paths.h"
#include "ci/base/utf8.h"
#include "ci/base/win_handles.h"
#include "ci/crash/crash_reporter.h"
#include "ci/crash/debug_observer.h"
#include "ci/crash/report_upload.h"
#include "tools/crash_test_report.h"
#include "tools/server_client_win.h"

namespace ci {
namespace {

constexpr char kReportHostOption[] = "--report-host=";
// The dump takes seconds, the upload at most its client's time-outs (40 s).
constexpr DWORD kChildDeadlineMs = 120000;

// Read through a volatile pointer so that the compiler cannot see the fault
// coming and turn it into a trap instruction.
int* volatile g_nowhere = nullptr;

LONG WINAPI ReportFailure(EXCEPTION_POINTERS* exception) {
  if (CurrentDebugObserver != nullptr) CurrentDebugObserver->OnFailure(0, exception, 0);
  // Ends the process with the exception's code, without a debugger.
  return EXCEPTION_EXECUTE_HANDLER;
}

void WriteToOutput(const std::string& text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

// The upload of the process's reporter, telling the parent what it gave.
bool UploadAndTell(const WString& host, const std::vector<std::uint8_t>& dump_bytes) {
  ReportUploadOutcome outcome;
  const bool accepted = UploadReport(host, dump_bytes, &CreateHttpClient, &outcome);
  ChildUploadReport report;
  report.client_created = outcome.client_created;
  report.send_result = outcome.send_result;
  report.status = outcome.status;
  WriteToOutput(FormatChildUploadLine(report));
  return accepted;
}

ReportBookkeeping ReadBookkeeping() {
  ReportBookkeeping values;
  values.md_num = ReadMachineValue(kReportCountValue);
  values.md_time = ReadMachineValue(kReportTimeValue);
  values.md_signature = ReadMachineValue(kReportSignatureValue);
  return values;
}

// Runs the child with its standard output on a pipe; what it wrote into `output`.
void RunChild(const std::string& report_host, CrashTestObservation* observation,
              std::string* output) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  UniqueHandle read_end, write_end;
  if (!::CreatePipe(read_end.put(), write_end.put(), &inherit, 0) ||
      !::SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0)) {
    observation->child_start = HResultFromFailedCall();
    return;
  }
  WString command_line = u"\"" + GetModulePath(nullptr) + u"\" " +
                         Utf8ToWide(kCrashTestChildCommand, sizeof(kCrashTestChildCommand) - 1);
  if (!report_host.empty()) {
    const std::string option = kReportHostOption + report_host;
    command_line += u" " + Utf8ToWide(option.data(), option.size());
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end.get();
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, AsWin(command_line), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
    observation->child_start = HResultFromFailedCall();
    return;
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  write_end.reset();
  // Read while it runs, and what is left once it has ended.
  const DWORD start = ::GetTickCount();
  for (bool ended = false; !ended;) {
    ended = ::WaitForSingleObject(process.get(), 50) == WAIT_OBJECT_0;
    DWORD available = 0;
    while (::PeekNamedPipe(read_end.get(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
      char chunk[512];
      DWORD read = 0;
      if (!::ReadFile(read_end.get(), chunk, sizeof(chunk), &read, nullptr) || read == 0) break;
      output->append(chunk, read);
    }
    if (!ended && ::GetTickCount() - start > kChildDeadlineMs) {
      ::TerminateProcess(process.get(), kE_ABORT);
      ::WaitForSingleObject(process.get(), 5000);
      observation->child_ended = false;
      break;
    }
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  observation->child_exit_code = code;
}

struct DumpFileState {
  bool exists = false;
  std::uint64_t created = 0;
  std::uint64_t written = 0;
  std::uint64_t bytes = 0;
};

std::uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

DumpFileState ReadDumpFileState(const WString& path) {
  DumpFileState state;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(AsWin(path), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return state;
  }
  state.exists = true;
  state.created = FileTimeValue(data.ftCreationTime);
  state.written = FileTimeValue(data.ftLastWriteTime);
  state.bytes = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return state;
}

}  // namespace

int RunCrashTest(const std::string& report_host, bool json) {
  CrashTestObservation observation;
  const CrashReporter reporter(CrashReporterSettings::Defaults(ReportUpload()));
  observation.consent = reporter.ReportingConsent();
  observation.report_host =
      report_host.empty() ? WideToUtf8(DefaultCrashReportHost()) : report_host;
  const WString dump_path = DumpFilePath();
  observation.dump_path = WideToUtf8(dump_path);
  observation.before = ReadBookkeeping();
  if (!json) {
    std::fputs(FormatCrashTestIntro(observation).c_str(), stdout);
    std::fflush(stdout);
  }
  // A dump left by an earlier run must not pass for this one's. It is not
  // deleted here: the writer replaces it safely, and a delete could follow a link.
  const DumpFileState earlier = ReadDumpFileState(dump_path);

  std::string child_output;
  RunChild(report_host, &observation, &child_output);
  observation.upload_attempted = ParseChildUploadLine(child_output, &observation.upload);
  const DumpFileState now = ReadDumpFileState(dump_path);
  observation.dump_written = now.exists && (!earlier.exists || now.created != earlier.created ||
                                            now.written != earlier.written);
  if (observation.dump_written) observation.dump_bytes = now.bytes;
  observation.after = ReadBookkeeping();

  const CrashTestVerdict verdict = JudgeCrashTest(observation);
  std::fputs((json ? FormatCrashTestJson(observation, verdict)
                   : FormatCrashTestResult(observation, verdict))
                 .c_str(),
             stdout);
  return verdict.accepted ? 0 : 1;
}

void RunCrashTestChild(const std::vector<std::string>& args) {
  // No error dialog for the fault on purpose: the filter below ends the process.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  InstallServerDebugObserver();
  CrashReporter& reporter = ProcessCrashReporter();
  for (const std::string& arg : args) {
    if (arg.compare(0, sizeof(kReportHostOption) - 1, kReportHostOption) == 0) {
      const std::string host = arg.substr(sizeof(kReportHostOption) - 1);
      reporter.settings().report_host = Utf8ToWide(host.data(), host.size());
    }
  }
  reporter.settings().upload = UploadAndTell;
  ::SetUnhandledExceptionFilter(ReportFailure);
  *g_nowhere = 0;
  std::abort();  // not reached: the write above faults
}

}  // namespace ci
