// The failure-site report ids: the tally a process keeps in memory (also the
// exact 124-byte image of the shared registry value), its merge into the stored
// tally, the flush that adds a process's counts under the machine-wide lock and,
// on Windows, the process's counters themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ci/crash/locks.h"

namespace ci {

constexpr std::size_t kMaxReportIds = 20;
// count (4) + ids (20 x 4) + hits (20 x 2), little-endian, no padding.
constexpr std::size_t kReportIdRecordBytes = 4 + kMaxReportIds * 4 + kMaxReportIds * 2;
static_assert(kReportIdRecordBytes == 124, "stored layout");

// Entries 0 to count-1 are used. A hit count is 16 bits and wraps from 65535 to 0.
struct ReportIdRecord {
  std::uint32_t count = 0;
  std::uint32_t ids[kMaxReportIds] = {};
  std::uint16_t hits[kMaxReportIds] = {};
};
static_assert(sizeof(ReportIdRecord) == kReportIdRecordBytes, "record has no padding");

using ReportIdBytes = std::array<std::uint8_t, kReportIdRecordBytes>;

// The number of used entries that may be read: count, but never more than the
// capacity, so a damaged count cannot lead past the last entry.
std::size_t UsedEntries(const ReportIdRecord& record);

// Adds one occurrence of `id`; a new id beyond the twentieth is dropped.
void AddReportId(ReportIdRecord* record, std::uint32_t id);

// Adds every entry of `mine` to `stored`: to each stored entry with the same id
// (all of them, should an id appear twice), else as a new entry while there is
// room.
void MergeReportIds(const ReportIdRecord& mine, ReportIdRecord* stored);

ReportIdBytes ReportIdRecordToBytes(const ReportIdRecord& record);

// Reads a stored image. False, leaving `record` alone, unless `size` is exactly
// 124. A count above the capacity is repaired to the capacity (all twenty entries
// are in use), and entries past the count are cleared.
bool ReportIdRecordFromBytes(const std::uint8_t* bytes, std::size_t size, ReportIdRecord* record);

// Where the shared tally is kept: behind an interface so that the flush is the
// same for the registry and for a test's fake.
class ReportIdStore {
 public:
  virtual ~ReportIdStore() = default;
  // The stored bytes; false when there is no value or it cannot be read.
  virtual bool Read(std::vector<std::uint8_t>* bytes) = 0;
  // Failures are not reported: the flush has nobody to tell.
  virtual void Write(const ReportIdBytes& bytes) = 0;
};

// How long the flush at exit waits for the lock. The lock is open to every
// account, so any user can hold it: waiting without limit would let them keep an
// elevated process from ending.
constexpr std::uint32_t kReportIdFlushWaitMs = 3000;

// Does nothing when `mine` is empty. Otherwise, holding `lock` (waited for at most
// `timeout_ms`), merges `mine` into a stored record of the right size, or replaces
// a missing or wrongly sized one with `mine`. When the wait runs out the counts
// are not flushed; when there is no lock at all the flush goes on without it.
void FlushReportIds(const ReportIdRecord& mine, Lockable& lock, ReportIdStore* store,
                    std::uint32_t timeout_ms = kReportIdFlushWaitMs);

// The machine-wide mutex shared by every product process of every user.
inline constexpr wchar_t kReportIdsLockName[] =
    L"Global\\_CI_Report_Ids_Lock_E6BF7C01-86AE-4a70-8CC9-9BD6FD4F98A6";

// Recorded when a new user identifier cannot be made.
constexpr std::uint32_t kReportIdGuidCreationFailed = 0x0E41DB6B;

#ifdef _WIN32

// The process's failure-site counters. The object is itself the machine-wide lock
// that guards the shared tally; at destruction (process exit) it adds its counts
// to the registry value "report_ids" under kSharedRoot.
class ReportIds : public GLock {
 public:
  // The shared mutex (open to every account) and the registry tally.
  ReportIds();
  // The same behaviour over another mutex and store; `store` must outlive this.
  ReportIds(const wchar_t* mutex_name, ReportIdStore* store);
  // Flushes, unless the process runs at low integrity.
  ~ReportIds() override;

  // Counts one occurrence in memory; takes no lock and touches no registry.
  bool RecordReportId(std::uint32_t id);

  const ReportIdRecord& record() const { return record_; }

 private:
  ReportIdStore* store_;
  ReportIdRecord record_;
};

// The registry value "report_ids" under kSharedRoot.
ReportIdStore& RegistryReportIdStore();

// The process-wide instance, made on first use (the server asks for it during its
// static initialisation) and flushed when static objects are destroyed at exit.
ReportIds& GlobalReportIds();

#endif  // _WIN32

}  // namespace ci
