// Whether the machine has a network interface other than loopback that is up,
// read from the IP helper library's interface table. Any doubt (no library, no
// entry point, a table that cannot be read or does not add up) answers true, so
// that a send is tried rather than refused.
#pragma once

#include <windows.h>
#include <iphlpapi.h>

namespace ci {

using GetIfTableFn = DWORD(WINAPI*)(PMIB_IFTABLE table, PULONG size, BOOL order);

// Over the IP helper library's GetIfTable (loaded from the system directory once,
// kept loaded); an answer is reused for half a second.
bool NetworkAvailable();
// The same decision over a given GetIfTable; null answers true.
bool NetworkAvailableWith(GetIfTableFn get_if_table);

}  // namespace ci
