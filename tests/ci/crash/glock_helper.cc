// Started by the lock tests as a second process.
//   glock_helper serial <mutex> <log file> <tag>
//       holds the mutex while appending "<tag>+" and, a little later, "<tag>-"
//   glock_helper abandon <mutex>
//       takes the mutex and exits without releasing it
//   glock_helper hold <mutex> <event>
//       takes the mutex, sets the event "<event>_held", and holds the mutex until
//       the event <event> is set (a minute at most)
#include <windows.h>

#include <string>

#include "ci/base/win_handles.h"
#include "ci/crash/locks.h"

namespace {

bool AppendLine(const wchar_t* path, const std::string& line) {
  HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == line.size();
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out.push_back(static_cast<char>(*text));
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring mode = argv[1];
  ci::GLock lock(argv[2]);
  if (!lock.Lock()) return 3;
  if (mode == L"abandon") return 0;
  if (mode == L"hold" && argc >= 4) {
    const std::wstring release_name = argv[3];
    ci::UniqueHandle held(::CreateEventW(nullptr, TRUE, FALSE, (release_name + L"_held").c_str()));
    ci::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, release_name.c_str()));
    if (!held || !release) return 6;
    ::SetEvent(held.get());
    ::WaitForSingleObject(release.get(), 60000);
    return lock.Unlock() ? 0 : 5;
  }
  if (mode != L"serial" || argc < 5) return 2;
  const std::string tag = Narrow(argv[4]);
  if (!AppendLine(argv[3], tag + "+\n")) return 4;
  ::Sleep(20);
  if (!AppendLine(argv[3], tag + "-\n")) return 4;
  return lock.Unlock() ? 0 : 5;
}
