#include "dump_files.h"

#include <cstring>

namespace ci {
namespace test {

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
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
  const bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) &&
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

ScratchDirectory::ScratchDirectory() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring parent(temp);
  parent.pop_back();                                 // the trailing backslash
  parent.resize(parent.find_last_of(L'\\') + 1);     // the temporary directory's parent
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
