#include "ci/crash/report_ids.h"

namespace ci {
namespace {

constexpr std::size_t kIdsOffset = 4;
constexpr std::size_t kHitsOffset = kIdsOffset + kMaxReportIds * 4;

void PutLe(std::uint8_t* out, std::uint32_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLe(const std::uint8_t* in, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return value;
}

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

std::size_t UsedEntries(const ReportIdRecord& record) {
  return record.count < kMaxReportIds ? record.count : kMaxReportIds;
}

void AddReportId(ReportIdRecord* record, std::uint32_t id) {
  const std::size_t used = UsedEntries(*record);
  for (std::size_t i = 0; i < used; ++i) {
    if (record->ids[i] == id) {
      ++record->hits[i];
      return;
    }
  }
  if (used < kMaxReportIds) {
    record->ids[used] = id;
    record->hits[used] = 1;
    record->count = static_cast<std::uint32_t>(used + 1);
  }
}

void MergeReportIds(const ReportIdRecord& mine, ReportIdRecord* stored) {
  const std::size_t mine_used = UsedEntries(mine);
  for (std::size_t i = 0; i < mine_used; ++i) {
    const std::size_t stored_used = UsedEntries(*stored);
    bool matched = false;
    for (std::size_t j = 0; j < stored_used; ++j) {
      if (stored->ids[j] == mine.ids[i]) {
        stored->hits[j] = static_cast<std::uint16_t>(stored->hits[j] + mine.hits[i]);
        matched = true;
      }
    }
    if (!matched && stored_used < kMaxReportIds) {
      stored->ids[stored_used] = mine.ids[i];
      stored->hits[stored_used] = mine.hits[i];
      stored->count = static_cast<std::uint32_t>(stored_used + 1);
    }
  }
}

ReportIdBytes ReportIdRecordToBytes(const ReportIdRecord& record) {
  ReportIdBytes bytes{};
  PutLe(bytes.data(), record.count, 4);
  for (std::size_t i = 0; i < kMaxReportIds; ++i) {
    PutLe(bytes.data() + kIdsOffset + 4 * i, record.ids[i], 4);
    PutLe(bytes.data() + kHitsOffset + 2 * i, record.hits[i], 2);
  }
  return bytes;
}

bool ReportIdRecordFromBytes(const std::uint8_t* bytes, std::size_t size, ReportIdRecord* record) {
  if (!bytes || size != kReportIdRecordBytes) return false;
  ReportIdRecord read;
  read.count = GetLe(bytes, 4);
  for (std::size_t i = 0; i < kMaxReportIds; ++i) {
    read.ids[i] = GetLe(bytes + kIdsOffset + 4 * i, 4);
    read.hits[i] = static_cast<std::uint16_t>(GetLe(bytes + kHitsOffset + 2 * i, 2));
  }
  read.count = static_cast<std::uint32_t>(UsedEntries(read));
  for (std::size_t i = read.count; i < kMaxReportIds; ++i) {
    read.ids[i] = 0;
    read.hits[i] = 0;
  }
  *record = read;
  return true;
}

void FlushReportIds(const ReportIdRecord& mine, Lockable& lock, ReportIdStore* store,
                    std::uint32_t timeout_ms) {
  if (UsedEntries(mine) == 0) return;
  const LockWait wait = lock.TryLockFor(timeout_ms);
  if (wait == LockWait::kTimedOut) return;  // counts lost rather than a hung exit
  MergeIntoStore(mine, store);
  if (wait == LockWait::kHeld) lock.Unlock();
}

}  // namespace ci
