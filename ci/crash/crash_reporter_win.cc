#include "ci/crash/crash_reporter.h"

#include <dbghelp.h>

#include <utility>

#include "ci/base/runtime_library_win.h"
#include "ci/base/wide_string.h"
#include "ci/base/hresult.h"
#include "ci/base/paths.h"
#include "ci/crash/report_upload.h"
#include "ci/prefs/key_paths.h"
#include "ci/prefs/reg_key.h"

#ifndef VU_CRASH_REPORT_HOST
#error "VU_CRASH_REPORT_HOST comes from the build (a host name in quotes)"
#endif

namespace ci {

// ---------------------------------------------------------------------------
// The reporter.

namespace {

// The failure's address as the throttles know it: 0 without an exception record.
std::uint32_t FailureAddress(const EXCEPTION_POINTERS* exception) {
  if (exception == nullptr || exception->ExceptionRecord == nullptr) return 0;
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(exception->ExceptionRecord->ExceptionAddress));
}

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
  WithoutThrowing([&] {
    const std::uint32_t failure_address = FailureAddress(exception);
    if (!MayReport(state_, failure_address, settings_.clock())) return;
    if (!DumpWriterReady()) return;
    if (WriteAndUploadDump(exception)) RecordAcceptedUpload(failure_address);
  });
}

bool CrashReporter::DumpWriterReady() const {
  if (settings_.write_dump == nullptr) return false;
  return settings_.bind_dump_writer == nullptr || settings_.bind_dump_writer();
}

std::uint32_t CrashReporter::DumpType() const {
  DWORD dump_type = kDefaultMinidumpType;
  if (Failed(RegKey::GetValue(settings_.key_path, kMinidumpTypeValue, &dump_type))) {
    dump_type = kDefaultMinidumpType;
  }
  return dump_type;
}

bool CrashReporter::WriteAndUploadDump(EXCEPTION_POINTERS* exception) {
  UniqueFileHandle file = CreateDumpFile(DumpFilePath());
  if (!file) return false;
  settings_.write_dump(file.get(), DumpType(), exception);
  std::vector<std::uint8_t> dump_bytes;
  return ReadDump(file.get(), &dump_bytes) && Upload(dump_bytes);
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

// ---------------------------------------------------------------------------
// The dump file.

namespace {

// Security attributes that admit the Administrators group and SYSTEM only, for
// the dump (it holds the elevated process's memory) in a place the non-elevated
// user can reach. Built in place, without the heap, so that the crash path can
// use it: a protected DACL (nothing inherited from the directory) of two
// full-access entries. Check ok() before using attributes().
class AdminsAndSystemOnly {
 public:
  AdminsAndSystemOnly() : ok_(Build()) {}
  AdminsAndSystemOnly(const AdminsAndSystemOnly&) = delete;
  AdminsAndSystemOnly& operator=(const AdminsAndSystemOnly&) = delete;

  bool ok() const { return ok_; }
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  bool Build();

  BYTE administrators_[SECURITY_MAX_SID_SIZE];
  BYTE system_[SECURITY_MAX_SID_SIZE];
  union {
    ACL header;  // keeps the list DWORD-aligned
    BYTE bytes[256];
  } acl_;
  SECURITY_DESCRIPTOR descriptor_;
  SECURITY_ATTRIBUTES attributes_;
  bool ok_;
};

bool AdminsAndSystemOnly::Build() {
  DWORD administrators_size = sizeof(administrators_);
  DWORD system_size = sizeof(system_);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators_,
                            &administrators_size) ||
      !::CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &system_size)) {
    return false;
  }
  if (!::InitializeAcl(&acl_.header, sizeof(acl_.bytes), ACL_REVISION) ||
      !::AddAccessAllowedAce(&acl_.header, ACL_REVISION, FILE_ALL_ACCESS, administrators_) ||
      !::AddAccessAllowedAce(&acl_.header, ACL_REVISION, FILE_ALL_ACCESS, system_)) {
    return false;
  }
  if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor_, TRUE, &acl_.header, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return false;
  }
  attributes_.nLength = sizeof(attributes_);
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
  return true;
}

// A path in a fixed buffer: the checks below run on the crash path and compare
// paths without allocating.
struct PathText {
  static constexpr DWORD kRoom = kMaxPath + 8;
  wchar_t chars[kRoom];
  DWORD length = 0;

  // `head` (terminated) followed by `count` characters of `tail`.
  bool Assign(const wchar_t* head, const wchar_t* tail, DWORD count) {
    length = 0;
    for (; *head != 0; ++head) {
      if (length + 1 >= kRoom) return false;
      chars[length++] = *head;
    }
    if (length + count >= kRoom) return false;
    for (DWORD i = 0; i < count; ++i) chars[length++] = tail[i];
    chars[length] = 0;
    return true;
  }
};

bool StartsWith(const wchar_t* text, DWORD length, const wchar_t* prefix) {
  DWORD i = 0;
  for (; prefix[i] != 0; ++i) {
    if (i >= length || text[i] != prefix[i]) return false;
  }
  return true;
}

// The path as the file system names the open file, without the "\\?\" prefix
// ("\\?\UNC\server\share" becomes "\\server\share"); false when unknown.
bool FinalPath(HANDLE file, PathText* path) {
  wchar_t buffer[PathText::kRoom] = {};
  const DWORD n = ::GetFinalPathNameByHandleW(file, buffer, PathText::kRoom,
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= PathText::kRoom) return false;
  if (StartsWith(buffer, n, L"\\\\?\\UNC\\")) return path->Assign(L"\\\\", buffer + 8, n - 8);
  if (StartsWith(buffer, n, L"\\\\?\\")) return path->Assign(L"", buffer + 4, n - 4);
  return path->Assign(L"", buffer, n);
}

// The long form of `path`'s directory with the file name appended: where the
// file must turn out to be when nothing on the way is a link.
bool ExpectedFinalPath(const WString& path, PathText* expected) {
  const size_t slash = path.find_last_of(u'\\');
  if (slash == WString::npos || slash + 1 >= kMaxPath) return false;
  wchar_t directory[kMaxPath] = {};
  for (size_t i = 0; i <= slash; ++i) directory[i] = static_cast<wchar_t>(path[i]);
  wchar_t long_directory[kMaxPath] = {};
  const DWORD n = ::GetLongPathNameW(directory, long_directory, kMaxPath);
  if (n == 0 || n >= kMaxPath) return false;
  const bool has_slash = long_directory[n - 1] == L'\\';
  const DWORD name_length = static_cast<DWORD>(path.size() - slash - 1);
  PathText directory_text;
  if (!directory_text.Assign(long_directory, L"\\", has_slash ? 0 : 1)) return false;
  return expected->Assign(directory_text.chars, AsWin(path) + slash + 1, name_length);
}

bool SamePath(const PathText& a, const PathText& b) {
  return a.length != 0 && ::CompareStringOrdinal(a.chars, static_cast<int>(a.length), b.chars,
                                                 static_cast<int>(b.length), TRUE) == CSTR_EQUAL;
}

bool DeleteOnClose(HANDLE file) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

// Removes whatever is at `path` as an entry of its own directory: a link itself,
// never what it points to. True when nothing is there any more.
bool RemoveExistingEntry(const WString& path, const PathText& expected) {
  UniqueFileHandle entry(
      ::CreateFileW(AsWin(path), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!entry) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  // Reached through a directory link on the way: not ours to remove.
  PathText final_path;
  if (!FinalPath(entry.get(), &final_path) || !SamePath(final_path, expected)) return false;
  return DeleteOnClose(entry.get());
}

// A plain disk file, not a link of any kind, with a single name, at `expected`.
bool IsPlainFileAt(HANDLE file, const PathText& expected) {
  if (::GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  PathText final_path;
  return info.nNumberOfLinks == 1 && FinalPath(file, &final_path) && SamePath(final_path, expected);
}

}  // namespace

WString DumpFilePath() {
  WString path;
  const bool built = WithoutThrowing([&] {
    if (!Format(&path, L"%s%s_%s_%s.dmp", AsWin(GetTempDirectory()), AsWin(GetExecutableFileName()),
                L"", L"")) {
      path.clear();
    }
  });
  if (!built) path.clear();
  return path;
}

UniqueFileHandle CreateDumpFile(const WString& path, CreateFileFn create) {
  PathText expected;
  if (!ExpectedFinalPath(path, &expected) || !RemoveExistingEntry(path, expected)) {
    return UniqueFileHandle();
  }
  // The dump holds the elevated process's memory: no inherited permissions.
  AdminsAndSystemOnly security;
  if (!security.ok()) return UniqueFileHandle();
  // CREATE_NEW fails on anything that appeared at the name meanwhile, a dangling
  // link included; the reparse flag keeps a link from being resolved at all.
  UniqueFileHandle file(create(AsWin(path), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                               security.attributes(), CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return UniqueFileHandle();
  if (!IsPlainFileAt(file.get(), expected)) {
    // Created somewhere it should not be: take it away again.
    DeleteOnClose(file.get());
    return UniqueFileHandle();
  }
  return file;
}

// ---------------------------------------------------------------------------
// The dump writer.

namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// Bound once; the library stays loaded for the rest of the process.
MiniDumpWriteDumpFunction BindMiniDumpWriteDump() {
  static const MiniDumpWriteDumpFunction function = [] {
    MiniDumpWriteDumpFunction entry = nullptr;
    const HMODULE library = LoadSystemLibrary(L"dbghelp").release();
    if (library != nullptr) BindEntryPoint(library, "MiniDumpWriteDump", &entry);
    return entry;
  }();
  return function;
}

}  // namespace

bool BindMiniDumpWriter() { return BindMiniDumpWriteDump() != nullptr; }

bool WriteMiniDump(HANDLE file, std::uint32_t dump_type, EXCEPTION_POINTERS* exception) {
  const MiniDumpWriteDumpFunction write = BindMiniDumpWriteDump();
  if (write == nullptr) return false;
  MINIDUMP_EXCEPTION_INFORMATION exception_information = {};
  exception_information.ThreadId = ::GetCurrentThreadId();
  exception_information.ExceptionPointers = exception;
  exception_information.ClientPointers = FALSE;
  const BOOL written = CallGuarded(FALSE, write, ::GetCurrentProcess(), ::GetCurrentProcessId(),
                                   file, static_cast<MINIDUMP_TYPE>(dump_type),
                                   exception != nullptr ? &exception_information : nullptr,
                                   static_cast<PMINIDUMP_USER_STREAM_INFORMATION>(nullptr),
                                   // No callback: a record whose routine is null is called all the
                                   // same by some versions of the library, a jump to address 0.
                                   static_cast<PMINIDUMP_CALLBACK_INFORMATION>(nullptr));
  return written != FALSE;
}

}  // namespace ci
