#include "ci/crash/dump_file.h"

#include "ci/base/hresult.h"
#include "ci/base/paths.h"
#include "ci/base/wide_string.h"
#include "ci/crash/admin_only_security_win.h"

namespace ci {
namespace {

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

}  // namespace ci
