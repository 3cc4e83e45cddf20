#include "ci/crash/minidump_writer.h"

#include <dbghelp.h>

#include "ci/base/runtime_library_win.h"

namespace ci {
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
