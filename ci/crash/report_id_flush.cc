#include "ci/crash/report_id_flush.h"

namespace ci {
namespace {

void MergeIntoStore(const ReportIdRecord& mine, ReportIdStore* store) {
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

}  // namespace

void FlushReportIds(const ReportIdRecord& mine, ReportIdLock& lock, ReportIdStore* store,
                    std::uint32_t timeout_ms) {
  if (UsedEntries(mine) == 0) return;
  const ReportIdLock::Wait wait = lock.Acquire(timeout_ms);
  if (wait == ReportIdLock::Wait::kTimedOut) return;  // counts lost rather than a hung exit
  MergeIntoStore(mine, store);
  if (wait == ReportIdLock::Wait::kHeld) lock.Release();
}

}  // namespace ci
