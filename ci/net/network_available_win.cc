#include "ci/net/network_available_win.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "ci/base/runtime_library_win.h"
#include "ci/net/recent_answer.h"

namespace ci {
namespace {

constexpr ULONG kFirstBufferBytes = 864;
constexpr ULONG kMostBufferBytes = 110080;
constexpr int kMostCalls = 2;
// How long an answer is reused. Reading the table is slow where the platform
// enumerates interfaces on every call (milliseconds under Wine); a network that
// comes or goes shows within this time.
constexpr std::uint32_t kAnswerLifetimeMs = 500;

std::uint64_t MonotonicMilliseconds() { return ::GetTickCount64(); }

// The IP helper library's GetIfTable, bound once and kept loaded (loading the
// library is far dearer than the call); null when it cannot be bound.
GetIfTableFn SystemGetIfTable() {
  static const GetIfTableFn get_if_table = []() -> GetIfTableFn {
    UniqueLibrary library = LoadSystemLibrary(L"IPHLPAPI.DLL");
    GetIfTableFn entry = nullptr;
    if (!library || !BindEntryPoint(library.get(), "GetIfTable", &entry)) return nullptr;
    library.release();
    return entry;
  }();
  return get_if_table;
}

}  // namespace

bool NetworkAvailableWith(GetIfTableFn get_if_table) {
  if (get_if_table == nullptr) return true;
  ULONG size = kFirstBufferBytes;
  std::vector<unsigned char> buffer;
  DWORD result = ERROR_INSUFFICIENT_BUFFER;
  for (int calls = 0; calls < kMostCalls && size <= kMostBufferBytes; ++calls) {
    buffer.assign(size, 0);
    result = CallGuarded<DWORD>(ERROR_NOACCESS, get_if_table,
                                reinterpret_cast<PMIB_IFTABLE>(buffer.data()), &size, FALSE);
    if (result != ERROR_INSUFFICIENT_BUFFER) break;
  }
  if (result != NO_ERROR) return true;
  const MIB_IFTABLE* table = reinterpret_cast<const MIB_IFTABLE*>(buffer.data());
  // The rows must fit both what the library reported and the buffer we own.
  const ULONG filled = std::min<ULONG>(size, static_cast<ULONG>(buffer.size()));
  if (filled < offsetof(MIB_IFTABLE, table)) return true;
  const ULONG rows_room = (filled - offsetof(MIB_IFTABLE, table)) / sizeof(MIB_IFROW);
  if (table->dwNumEntries > size / sizeof(MIB_IFROW) || table->dwNumEntries > rows_room) {
    return true;
  }
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    const MIB_IFROW& row = table->table[i];
    if (row.dwType != IF_TYPE_SOFTWARE_LOOPBACK &&
        (row.dwOperStatus == IF_OPER_STATUS_CONNECTED ||
         row.dwOperStatus == IF_OPER_STATUS_OPERATIONAL)) {
      return true;
    }
  }
  return false;
}

bool NetworkAvailable() {
  static RecentAnswer answer(kAnswerLifetimeMs, &MonotonicMilliseconds);
  return answer.Get([] { return NetworkAvailableWith(SystemGetIfTable()); });
}

}  // namespace ci
