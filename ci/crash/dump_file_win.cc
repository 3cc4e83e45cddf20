#include "ci/crash/dump_file.h"

#include "ci/base/format.h"
#include "ci/base/paths.h"

namespace ci {
namespace {

// The path as the file system names the open file, without the "\\?\" prefix
// ("\\?\UNC\server\share" becomes "\\server\share"); empty when unknown.
WString FinalPath(HANDLE file) {
  wchar_t buffer[kMaxPath + 8] = {};
  const DWORD n = ::GetFinalPathNameByHandleW(file, buffer, sizeof(buffer) / sizeof(buffer[0]),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= sizeof(buffer) / sizeof(buffer[0])) return WString();
  WString path = FromWin(buffer, n);
  if (path.compare(0, 8, u"\\\\?\\UNC\\") == 0) return u"\\\\" + path.substr(8);
  if (path.compare(0, 4, u"\\\\?\\") == 0) return path.substr(4);
  return path;
}

// The long form of `path`'s directory with the file name appended: where the
// file must turn out to be when nothing on the way is a link.
WString ExpectedFinalPath(const WString& path) {
  const size_t slash = path.find_last_of(u'\\');
  if (slash == WString::npos) return WString();
  const WString directory = path.substr(0, slash + 1);
  wchar_t buffer[kMaxPath] = {};
  const DWORD n = ::GetLongPathNameW(AsWin(directory), buffer, kMaxPath);
  if (n == 0 || n >= kMaxPath) return WString();
  WString expected = FromWin(buffer, n);
  if (expected.empty() || expected.back() != u'\\') expected.push_back(u'\\');
  return expected + path.substr(slash + 1);
}

bool SamePath(const WString& a, const WString& b) {
  return !a.empty() && ::CompareStringOrdinal(AsWin(a), static_cast<int>(a.size()), AsWin(b),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool DeleteOnClose(HANDLE file) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

// Removes whatever is at `path` as an entry of its own directory: a link itself,
// never what it points to. True when nothing is there any more.
bool RemoveExistingEntry(const WString& path, const WString& expected) {
  UniqueFileHandle entry(
      ::CreateFileW(AsWin(path), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!entry) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  // Reached through a directory link on the way: not ours to remove.
  if (!SamePath(FinalPath(entry.get()), expected)) return false;
  return DeleteOnClose(entry.get());
}

// A plain disk file, not a link of any kind, with a single name, at `expected`.
bool IsPlainFileAt(HANDLE file, const WString& expected) {
  if (::GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  return info.nNumberOfLinks == 1 && SamePath(FinalPath(file), expected);
}

}  // namespace

WString DumpFilePath() {
  WString path;
  if (!Format(&path, L"%s%s_%s_%s.dmp", AsWin(GetTempDirectory()), AsWin(GetExecutableFileName()),
              L"", L"")) {
    return WString();
  }
  return path;
}

UniqueFileHandle CreateDumpFile(const WString& path) {
  const WString expected = ExpectedFinalPath(path);
  if (expected.empty() || !RemoveExistingEntry(path, expected)) return UniqueFileHandle();
  // CREATE_NEW fails on anything that appeared at the name meanwhile, a dangling
  // link included; the reparse flag keeps a link from being resolved at all.
  UniqueFileHandle file(
      ::CreateFileW(AsWin(path), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return UniqueFileHandle();
  if (!IsPlainFileAt(file.get(), expected)) {
    // Created somewhere it should not be: take it away again.
    DeleteOnClose(file.get());
    return UniqueFileHandle();
  }
  return file;
}

}  // namespace ci
