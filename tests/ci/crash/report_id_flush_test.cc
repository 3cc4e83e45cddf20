#include "ci/crash/report_id_flush.h"

#include <gtest/gtest.h>

#include <optional>

namespace ci {
namespace {

class FakeLock : public ReportIdLock {
 public:
  Wait Acquire(std::uint32_t timeout_ms) override {
    ++waits;
    last_timeout_ms = timeout_ms;
    held = wait == Wait::kHeld;
    return wait;
  }
  void Release() override {
    EXPECT_TRUE(held) << "released a lock that was not held";
    held = false;
    ++releases;
  }
  Wait wait = Wait::kHeld;
  bool held = false;
  int waits = 0;
  int releases = 0;
  std::uint32_t last_timeout_ms = 0;
};

class FakeStore : public ReportIdStore {
 public:
  explicit FakeStore(const FakeLock* lock) : lock_(lock) {}
  bool Read(std::vector<std::uint8_t>* bytes) override {
    EXPECT_TRUE(lock_->held || lock_->wait == ReportIdLock::Wait::kNoLock)
        << "read outside the lock";
    if (!value) return false;
    *bytes = *value;
    return true;
  }
  void Write(const ReportIdBytes& bytes) override {
    EXPECT_TRUE(lock_->held || lock_->wait == ReportIdLock::Wait::kNoLock)
        << "write outside the lock";
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
  lock.wait = ReportIdLock::Wait::kTimedOut;
  FakeStore store(&lock);
  store.value = std::vector<std::uint8_t>(124, 0);
  FlushReportIds(Mine(), lock, &store);
  EXPECT_EQ(store.writes, 0);
  EXPECT_EQ(lock.releases, 0);
}

TEST(ReportIdFlush, GoesOnWithoutALockThatDoesNotExist) {
  FakeLock lock;
  lock.wait = ReportIdLock::Wait::kNoLock;
  FakeStore store(&lock);
  FlushReportIds(Mine(), lock, &store);
  EXPECT_EQ(store.writes, 1);
  EXPECT_EQ(lock.releases, 0);
}

}  // namespace
}  // namespace ci
