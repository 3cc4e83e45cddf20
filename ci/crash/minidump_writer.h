// Minidumps of the running process through the debug-help library, bound at run
// time from the system directory only.
#pragma once

#include <windows.h>

#include <cstdint>

namespace ci {

// Binds the debug-help library and its MiniDumpWriteDump (once, from the system
// directory); false when either is missing.
bool BindMiniDumpWriter();

// Writes a minidump of this process of `dump_type` (MINIDUMP_TYPE flags) into
// `file`: with the exception stream of `exception` when it is not null, no user
// streams and an empty callback. False when the library or its entry point is
// missing, or the call fails.
bool WriteMiniDump(HANDLE file, std::uint32_t dump_type, EXCEPTION_POINTERS* exception);

}  // namespace ci
