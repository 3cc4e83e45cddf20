// Adding a process's report-id counts to the shared tally: read, merge and write
// back under the machine-wide lock. The storage is behind an interface so that
// the sequence is the same for the registry and for a test's fake.
#pragma once

#include <cstdint>
#include <vector>

#include "ci/crash/lockable.h"
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

// Does nothing when `mine` is empty. Otherwise, holding `lock` (and going on
// without it when the wait fails), merges `mine` into a stored record of the
// right size, or replaces a missing or wrongly sized one with `mine`.
void FlushReportIds(const ReportIdRecord& mine, Lockable* lock, ReportIdStore* store);

}  // namespace ci
