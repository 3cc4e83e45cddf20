// Adding a process's report-id counts to the shared tally: read, merge and write
// back under the machine-wide lock. The storage is behind an interface so that
// the sequence is the same for the registry and for a test's fake.
#pragma once

#include <cstdint>
#include <vector>

#include "ci/crash/report_id_record.h"

namespace ci {

class ReportIdStore {
 public:
  virtual ~ReportIdStore() = default;
  // The stored bytes; false when there is no value or it cannot be read.
  virtual bool Read(std::vector<std::uint8_t>* bytes) = 0;
  // Failures are not reported: the flush has nobody to tell.
  virtual void Write(const ReportIdBytes& bytes) = 0;
};

// The machine-wide lock as the flush takes it: with a time limit, telling a wait
// that ran out apart from a lock that does not exist.
class ReportIdLock {
 public:
  enum class Wait { kHeld, kTimedOut, kNoLock };
  virtual Wait Acquire(std::uint32_t timeout_ms) = 0;
  virtual void Release() = 0;

 protected:
  ~ReportIdLock() = default;
};

// How long the flush at exit waits for the lock. The lock is open to every
// account, so any user can hold it: waiting without limit would let them keep an
// elevated process from ending.
constexpr std::uint32_t kReportIdFlushWaitMs = 3000;

// Does nothing when `mine` is empty. Otherwise, holding `lock`, merges `mine` into
// a stored record of the right size, or replaces a missing or wrongly sized one
// with `mine`. When the wait runs out the counts are not flushed; when there is no
// lock at all the flush goes on without it.
void FlushReportIds(const ReportIdRecord& mine, ReportIdLock& lock, ReportIdStore* store,
                    std::uint32_t timeout_ms = kReportIdFlushWaitMs);

}  // namespace ci
