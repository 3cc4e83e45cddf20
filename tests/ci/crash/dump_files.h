// Files and minidumps as the crash tests look at them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ci {
namespace test {

bool FileExists(const std::wstring& path);
// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>* bytes);
bool WriteWholeFile(const std::wstring& path, const std::string& text);

// True when `dump` starts with the minidump signature "MDMP" and its stream
// directory lists a stream of `stream_type` (6: the exception stream).
bool IsMinidump(const std::vector<std::uint8_t>& dump);
bool MinidumpHasStream(const std::vector<std::uint8_t>& dump, std::uint32_t stream_type);

// Plants a symbolic link at `link` that points to the existing file `target`:
// under Wine (whose CreateSymbolicLinkW reports success and makes nothing) as a
// host symbolic link made by the host's ln, elsewhere with CreateSymbolicLinkW.
bool PlantSymbolicLink(const std::wstring& link, const std::wstring& target);
// Removes the directory entry at `path` itself, a link included.
void RemoveEntry(const std::wstring& path);

// A fresh directory of this process under the temporary directory's parent, so
// that it lies outside the temporary directory; removed with its files.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::wstring& path() const { return path_; }  // with a trailing backslash

 private:
  std::wstring path_;
};

}  // namespace test
}  // namespace ci
