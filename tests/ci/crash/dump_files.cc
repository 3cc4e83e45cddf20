#include "dump_files.h"

#include <atomic>
#include <cstring>

#include "tests/support/processes_win.h"

namespace ci {
namespace test {

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::uint8_t chunk[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, chunk, sizeof(chunk), &read, nullptr) != FALSE) && read > 0) {
    bytes->insert(bytes->end(), chunk, chunk + read);
  }
  ::CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text) {
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  ::CloseHandle(file);
  return ok;
}

namespace {

std::uint32_t ReadU32(const std::vector<std::uint8_t>& bytes, size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof(value));
  return value;
}

}  // namespace

bool IsMinidump(const std::vector<std::uint8_t>& dump) {
  return dump.size() >= 32 && std::memcmp(dump.data(), "MDMP", 4) == 0;
}

bool MinidumpHasStream(const std::vector<std::uint8_t>& dump, std::uint32_t stream_type) {
  if (!IsMinidump(dump)) return false;
  // Header: signature, version, stream count, directory offset; entries of 12 bytes.
  const std::uint32_t count = ReadU32(dump, 8);
  const std::uint32_t directory = ReadU32(dump, 12);
  for (std::uint32_t i = 0; i < count; ++i) {
    const size_t entry = directory + static_cast<size_t>(i) * 12;
    if (entry + 12 > dump.size()) return false;
    if (ReadU32(dump, entry) == stream_type) return true;
  }
  return false;
}

namespace {

// Whether the directory lists the name, a dangling link included (a pattern makes
// the search enumerate the directory rather than open the name).
bool EntryListed(const std::wstring& path) {
  WIN32_FIND_DATAW found = {};
  const HANDLE search = ::FindFirstFileW((path + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  bool listed = false;
  do {
    listed = ::lstrcmpiW(found.cFileName, name.c_str()) == 0;
  } while (!listed && ::FindNextFileW(search, &found));
  ::FindClose(search);
  return listed;
}

// Waits until the directory lists `path` (or no longer does); false on time-out.
bool AwaitListed(const std::wstring& path, bool listed) {
  for (int i = 0; i < 500; ++i) {
    if (EntryListed(path) == listed) return true;
    ::Sleep(10);
  }
  return false;
}

// The host file name of a Windows path under Wine; empty elsewhere.
std::string HostFileName(const std::wstring& path) {
  using ToHostName = char*(CDECL*)(LPCWSTR);
  const auto to_host = reinterpret_cast<ToHostName>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (to_host == nullptr) return std::string();
  char* name = to_host(path.c_str());
  if (name == nullptr) return std::string();
  std::string result(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// A host path in single quotes, for a shell command line.
std::string ShellQuoted(const std::string& host_name) { return "'" + host_name + "'"; }

// Runs `shell_command` through the host's shell under Wine and waits until it
// has finished. Wine gives no usable process handle for a host program (and no
// exit status), and a directory listing does not show a dangling link: so the
// command ends by creating a marker file, a plain file that the listing shows.
void RunOnHost(const std::string& shell_command) {
  static std::atomic<unsigned> count{0};
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring marker = std::wstring(temp) + L"vu_host_done_" +
                              std::to_wstring(::GetCurrentProcessId()) + L"_" +
                              std::to_wstring(++count);
  const std::string line = shell_command + " ; : > " + ShellQuoted(HostFileName(marker));
  StartProcess(u"Z:\\bin\\sh -c \"" + WString(line.begin(), line.end()) + u"\"");
  for (int i = 0; i < 1000 && ::GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES;
       ++i) {
    ::Sleep(10);
  }
  ::DeleteFileW(marker.c_str());
}

}  // namespace

bool PlantSymbolicLink(const std::wstring& link, const std::wstring& target) {
  const std::string host_link = HostFileName(link);
  const std::string host_target = HostFileName(target);
  if (host_link.empty() || host_target.empty()) {
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), 0) && EntryListed(link);
  }
  RunOnHost("ln -sfn " + ShellQuoted(host_target) + " " + ShellQuoted(host_link));
  return AwaitListed(link, true);
}

void RemoveEntry(const std::wstring& path) {
  const std::string host_name = HostFileName(path);
  // Under Wine, deleting a host symbolic link through the platform removes its target.
  if (!host_name.empty()) {
    RunOnHost("rm -f " + ShellQuoted(host_name));
    AwaitListed(path, false);
  } else {
    ::DeleteFileW(path.c_str());
  }
}

ScratchDirectory::ScratchDirectory() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring parent(temp);
  parent.pop_back();                              // the trailing backslash
  parent.resize(parent.find_last_of(L'\\') + 1);  // the temporary directory's parent
  path_ = parent + L"vu_crash_scratch_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDirectory::~ScratchDirectory() {
  WIN32_FIND_DATAW found = {};
  const HANDLE search = ::FindFirstFileW((path_ + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") ::DeleteFileW((path_ + name).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(path_.c_str());
}

}  // namespace test
}  // namespace ci
