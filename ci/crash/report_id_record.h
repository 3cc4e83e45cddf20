// The tally of failure-site report ids: the record a process keeps in memory,
// which is also the exact 124-byte image of the shared registry value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

}  // namespace ci
