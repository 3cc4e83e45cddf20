#include "ci/crash/report_id_flush.h"

namespace ci {

void FlushReportIds(const ReportIdRecord& mine, Lockable* lock, ReportIdStore* store) {
  if (UsedEntries(mine) == 0) return;
  ScopedLock hold(lock);
  std::vector<std::uint8_t> stored_bytes;
  ReportIdRecord stored;
  if (store->Read(&stored_bytes) &&
      ReportIdRecordFromBytes(stored_bytes.data(), stored_bytes.size(), &stored)) {
    MergeReportIds(mine, &stored);
    if (stored.count != 0) store->Write(ReportIdRecordToBytes(stored));
  } else {
    store->Write(ReportIdRecordToBytes(mine));
  }
}

}  // namespace ci
