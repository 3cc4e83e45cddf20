#include "ci/crash/report_ids.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace ci {
namespace {

using Entries = std::vector<std::pair<std::uint32_t, std::uint16_t>>;

Entries EntriesOf(const ReportIdRecord& record) {
  Entries entries;
  for (std::size_t i = 0; i < UsedEntries(record); ++i)
    entries.emplace_back(record.ids[i], record.hits[i]);
  return entries;
}

ReportIdRecord RecordOf(const Entries& entries) {
  ReportIdRecord record;
  for (const auto& [id, hits] : entries) {
    record.ids[record.count] = id;
    record.hits[record.count] = hits;
    ++record.count;
  }
  return record;
}

TEST(ReportIdRecord, RepeatedIdIsOneEntry) {
  ReportIdRecord record;
  for (int i = 0; i < 3; ++i) AddReportId(&record, 0x0E41DB6B);
  AddReportId(&record, 7);
  EXPECT_EQ(EntriesOf(record), (Entries{{0x0E41DB6B, 3}, {7, 1}}));
}

TEST(ReportIdRecord, KeepsTheFirstTwentyDistinctIds) {
  ReportIdRecord record;
  for (std::uint32_t id = 100; id < 121; ++id) AddReportId(&record, id);
  AddReportId(&record, 120);  // still dropped
  AddReportId(&record, 119);  // still counted
  ASSERT_EQ(record.count, 20u);
  EXPECT_EQ(record.ids[0], 100u);
  EXPECT_EQ(record.ids[19], 119u);
  EXPECT_EQ(record.hits[19], 2);
}

TEST(ReportIdRecord, HitCountWrapsAtSixteenBits) {
  ReportIdRecord record = RecordOf({{5, 65535}});
  AddReportId(&record, 5);
  EXPECT_EQ(record.hits[0], 0);
  ReportIdRecord stored = RecordOf({{5, 65535}});
  MergeReportIds(RecordOf({{5, 2}}), &stored);
  EXPECT_EQ(stored.hits[0], 1);
}

TEST(ReportIdRecord, ByteImageIsLittleEndianWithoutPadding) {
  const ReportIdRecord record = RecordOf({{0x0E41DB6B, 0x0102}, {0xA1B2C3D4, 7}});
  const ReportIdBytes bytes = ReportIdRecordToBytes(record);
  ReportIdBytes expected{};
  const std::uint8_t head[] = {2, 0, 0, 0, 0x6B, 0xDB, 0x41, 0x0E, 0xD4, 0xC3, 0xB2, 0xA1};
  std::memcpy(expected.data(), head, sizeof(head));
  expected[84] = 0x02;
  expected[85] = 0x01;
  expected[86] = 7;
  EXPECT_EQ(bytes, expected);

  ReportIdRecord read;
  ASSERT_TRUE(ReportIdRecordFromBytes(bytes.data(), bytes.size(), &read));
  EXPECT_EQ(EntriesOf(read), EntriesOf(record));
  EXPECT_EQ(ReportIdRecordToBytes(read), bytes);
}

TEST(ReportIdRecord, OnlyTheExactSizeIsRead) {
  const ReportIdBytes bytes = ReportIdRecordToBytes(RecordOf({{1, 1}}));
  ReportIdRecord untouched = RecordOf({{9, 9}});
  EXPECT_FALSE(ReportIdRecordFromBytes(bytes.data(), 120, &untouched));
  EXPECT_FALSE(ReportIdRecordFromBytes(bytes.data(), 123, &untouched));
  std::vector<std::uint8_t> longer(bytes.begin(), bytes.end());
  longer.push_back(0);
  EXPECT_FALSE(ReportIdRecordFromBytes(longer.data(), longer.size(), &untouched));
  EXPECT_FALSE(ReportIdRecordFromBytes(nullptr, 124, &untouched));
  EXPECT_EQ(EntriesOf(untouched), (Entries{{9, 9}}));
}

TEST(ReportIdRecord, CountAboveCapacityIsRepairedToTwenty) {
  ReportIdRecord full;
  for (std::uint32_t i = 0; i < 20; ++i) {
    full.ids[i] = 1000 + i;
    full.hits[i] = static_cast<std::uint16_t>(i + 1);
  }
  for (std::uint32_t damaged : {21u, 0xFFFFFFFFu}) {
    full.count = damaged;
    const ReportIdBytes bytes = ReportIdRecordToBytes(full);
    ReportIdRecord read;
    ASSERT_TRUE(ReportIdRecordFromBytes(bytes.data(), bytes.size(), &read));
    EXPECT_EQ(read.count, 20u);
    EXPECT_EQ(read.ids[19], 1019u);
    EXPECT_EQ(read.hits[19], 20);
  }
  // Even unrepaired, nothing past the last entry is read or written.
  full.count = 0xFFFFFFFFu;
  MergeReportIds(RecordOf({{1019, 1}, {5, 1}}), &full);
  EXPECT_EQ(full.hits[19], 21);
  AddReportId(&full, 6);
  EXPECT_EQ(full.count, 0xFFFFFFFFu);
}

TEST(ReportIdRecord, EntriesPastTheCountAreClearedOnRead) {
  ReportIdRecord record = RecordOf({{1, 1}, {2, 2}});
  record.count = 1;
  const ReportIdBytes bytes = ReportIdRecordToBytes(record);
  ReportIdRecord read;
  ASSERT_TRUE(ReportIdRecordFromBytes(bytes.data(), bytes.size(), &read));
  EXPECT_EQ(read.ids[1], 0u);
  EXPECT_EQ(read.hits[1], 0);
  // A later append starts from a clean slot.
  AddReportId(&read, 3);
  EXPECT_EQ(EntriesOf(read), (Entries{{1, 1}, {3, 1}}));
}

TEST(ReportIdMerge, AddsToMatchesAndAppendsNewIdsInOrder) {
  ReportIdRecord stored = RecordOf({{0xA, 2}});
  MergeReportIds(RecordOf({{0xA, 1}, {0xB, 1}}), &stored);
  EXPECT_EQ(EntriesOf(stored), (Entries{{0xA, 3}, {0xB, 1}}));
}

TEST(ReportIdMerge, IntoAnEmptyRecord) {
  ReportIdRecord stored;
  MergeReportIds(RecordOf({{4, 2}, {5, 7}}), &stored);
  EXPECT_EQ(EntriesOf(stored), (Entries{{4, 2}, {5, 7}}));
}

TEST(ReportIdMerge, EveryDuplicateStoredEntryReceivesTheHits) {
  ReportIdRecord stored = RecordOf({{7, 1}, {8, 1}, {7, 4}});
  MergeReportIds(RecordOf({{7, 2}}), &stored);
  EXPECT_EQ(EntriesOf(stored), (Entries{{7, 3}, {8, 1}, {7, 6}}));
}

TEST(ReportIdMerge, DropsNewIdsWhenFull) {
  ReportIdRecord stored;
  for (std::uint32_t id = 0; id < 20; ++id) AddReportId(&stored, id);
  MergeReportIds(RecordOf({{100, 5}, {3, 5}}), &stored);
  EXPECT_EQ(stored.count, 20u);
  EXPECT_EQ(stored.hits[3], 6);
  for (std::uint32_t id : stored.ids) EXPECT_NE(id, 100u);
}

// ---------------------------------------------------------------------------
// The flush into the shared tally, over a fake lock and store.

// The machine-wide lock as the flush sees it: each timed wait ends as `wait` says.
class FakeLock : public Lockable {
 public:
  bool Lock() override {
    ADD_FAILURE() << "the flush waits without limit";
    return false;
  }
  LockWait TryLockFor(std::uint32_t timeout_ms) override {
    ++waits;
    last_timeout_ms = timeout_ms;
    held = wait == LockWait::kHeld;
    return wait;
  }
  bool Unlock() override {
    EXPECT_TRUE(held) << "released a lock that was not held";
    held = false;
    ++releases;
    return true;
  }
  LockWait wait = LockWait::kHeld;
  bool held = false;
  int waits = 0;
  int releases = 0;
  std::uint32_t last_timeout_ms = 0;
};

class FakeStore : public ReportIdStore {
 public:
  explicit FakeStore(const FakeLock* lock) : lock_(lock) {}
  bool Read(std::vector<std::uint8_t>* bytes) override {
    EXPECT_TRUE(lock_->held || lock_->wait == LockWait::kNoLock) << "read outside the lock";
    if (!value) return false;
    *bytes = *value;
    return true;
  }
  void Write(const ReportIdBytes& bytes) override {
    EXPECT_TRUE(lock_->held || lock_->wait == LockWait::kNoLock) << "write outside the lock";
    value.emplace(bytes.begin(), bytes.end());
    ++writes;
  }
  ReportIdRecord Stored() const {
    ReportIdRecord record;
    EXPECT_TRUE(ReportIdRecordFromBytes(value->data(), value->size(), &record));
    return record;
  }
  std::optional<std::vector<std::uint8_t>> value;
  int writes = 0;

 private:
  const FakeLock* lock_;
};

ReportIdRecord Mine() {
  ReportIdRecord mine;
  AddReportId(&mine, 0xA);
  AddReportId(&mine, 0xA);
  AddReportId(&mine, 0xB);
  return mine;
}

TEST(ReportIdFlush, NothingRecordedWritesNothingAndTakesNoLock) {
  FakeLock lock;
  FakeStore store(&lock);
  FlushReportIds(ReportIdRecord(), lock, &store);
  EXPECT_FALSE(store.value);
  EXPECT_EQ(lock.waits, 0);
}

TEST(ReportIdFlush, MissingValueIsReplacedByOwnRecord) {
  FakeLock lock;
  FakeStore store(&lock);
  FlushReportIds(Mine(), lock, &store);
  ASSERT_TRUE(store.value);
  const ReportIdBytes expected = ReportIdRecordToBytes(Mine());
  EXPECT_EQ(*store.value, std::vector<std::uint8_t>(expected.begin(), expected.end()));
  EXPECT_FALSE(lock.held);
}

TEST(ReportIdFlush, WronglySizedValueIsReplacedByOwnRecord) {
  FakeLock lock;
  FakeStore store(&lock);
  store.value = std::vector<std::uint8_t>(120, 0xFF);
  FlushReportIds(Mine(), lock, &store);
  ASSERT_EQ(store.value->size(), 124u);
  const ReportIdRecord stored = store.Stored();
  ASSERT_EQ(stored.count, 2u);
  EXPECT_EQ(stored.hits[0], 2);
  EXPECT_EQ(stored.hits[1], 1);
}

TEST(ReportIdFlush, StoredRecordIsMergedAndRepaired) {
  FakeLock lock;
  FakeStore store(&lock);
  ReportIdRecord existing;
  for (std::uint32_t i = 0; i < 20; ++i) {
    existing.ids[i] = 1000 + i;
    existing.hits[i] = 1;
  }
  existing.ids[5] = 0xA;
  existing.count = 0xFFFFFFFF;
  const ReportIdBytes image = ReportIdRecordToBytes(existing);
  store.value.emplace(image.begin(), image.end());

  FlushReportIds(Mine(), lock, &store);
  const std::vector<std::uint8_t>& raw = *store.value;
  EXPECT_EQ(raw[0], 20);
  EXPECT_EQ(raw[1] | raw[2] | raw[3], 0);
  const ReportIdRecord stored = store.Stored();
  EXPECT_EQ(stored.ids[5], 0xAu);
  EXPECT_EQ(stored.hits[5], 3);
  for (std::uint32_t id : stored.ids) EXPECT_NE(id, 0xBu);  // no room for it
}

TEST(ReportIdFlush, WaitsAFewSecondsAtMostAndReleasesWhatItTook) {
  FakeLock lock;
  FakeStore store(&lock);
  FlushReportIds(Mine(), lock, &store);
  EXPECT_EQ(lock.last_timeout_ms, kReportIdFlushWaitMs);
  EXPECT_EQ(lock.releases, 1);
}

TEST(ReportIdFlush, SkipsTheFlushWhenTheWaitRunsOut) {
  FakeLock lock;
  lock.wait = LockWait::kTimedOut;
  FakeStore store(&lock);
  store.value = std::vector<std::uint8_t>(124, 0);
  FlushReportIds(Mine(), lock, &store);
  EXPECT_EQ(store.writes, 0);
  EXPECT_EQ(lock.releases, 0);
}

TEST(ReportIdFlush, GoesOnWithoutALockThatDoesNotExist) {
  FakeLock lock;
  lock.wait = LockWait::kNoLock;
  FakeStore store(&lock);
  FlushReportIds(Mine(), lock, &store);
  EXPECT_EQ(store.writes, 1);
  EXPECT_EQ(lock.releases, 0);
}

}  // namespace
}  // namespace ci
