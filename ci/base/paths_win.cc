#include "ci/base/paths.h"

#include <shlwapi.h>

namespace ci {
namespace {

// Copies `path` into a MAX_PATH buffer (truncated to fit) for the in-place shell calls.
struct PathBuffer {
  explicit PathBuffer(const WString& path) {
    const size_t n = path.size() < kMaxPath - 1 ? path.size() : kMaxPath - 1;
    path.copy(chars, n);
    chars[n] = 0;
  }
  WString str() const { return WString(chars); }
  wchar_t* win() { return AsWin(chars); }

  WChar chars[kMaxPath] = {};
};

}  // namespace

WString GetModulePath(HMODULE module) {
  wchar_t buffer[kMaxPath] = {};
  const DWORD n = ::GetModuleFileNameW(module, buffer, kMaxPath);
  return n == 0 ? WString() : FromWin(buffer, n < kMaxPath ? n : kMaxPath - 1);
}

HMODULE GetCurrentModule() {
  MEMORY_BASIC_INFORMATION info = {};
  if (::VirtualQuery(reinterpret_cast<const void*>(&GetCurrentModule), &info, sizeof(info)) == 0) {
    return nullptr;
  }
  return static_cast<HMODULE>(info.AllocationBase);
}

WString GetCurrentModuleDirectory() { return GetDirectoryPart(GetModulePath(GetCurrentModule())); }

WString GetExecutableFileName() { return GetFileName(GetModulePath(nullptr)); }

WString GetTempDirectory() {
  wchar_t buffer[kMaxPath] = {};
  const DWORD n = ::GetTempPathW(kMaxPath, buffer);
  return (n == 0 || n >= kMaxPath) ? WString() : FromWin(buffer, n);
}

WString AppendPath(const WString& base, const WString& part) {
  PathBuffer buffer(base);
  if (!::PathAppendW(buffer.win(), AsWin(part))) return base;
  return buffer.str();
}

WString GetFileName(const WString& path) {
  PathBuffer buffer(path);
  ::PathStripPathW(buffer.win());
  return buffer.str();
}

WString GetDirectoryPart(const WString& path) {
  PathBuffer buffer(path);
  ::PathRemoveFileSpecW(buffer.win());
  return buffer.str();
}

bool IsDirectory(const WString& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(AsWin(path), GetFileExInfoStandard, &data)) return false;
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// --- The resource module ---------------------------------------------------------

WString ResourceModulePathFor(const WString& module_directory) {
  if (module_directory.empty()) return WString();
  WString folder = AppendPath(module_directory, kProgramVersionFolder);
  if (!IsDirectory(folder)) folder = module_directory;
  return AppendPath(folder, kResourceModuleName);
}

const WString& GetResourceModulePath() {
  static const WString path = ResourceModulePathFor(GetCurrentModuleDirectory());
  return path;
}

// --- Starting a program ----------------------------------------------------------

HResult RunProgram(const WString& path, PROCESS_INFORMATION* info) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  *info = PROCESS_INFORMATION{};
  if (!::CreateProcessW(AsWin(path), nullptr, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, info)) {
    const HResult hr = HResultFromFailedCall();
    *info = PROCESS_INFORMATION{};
    return hr;
  }
  return kS_OK;
}

}  // namespace ci
