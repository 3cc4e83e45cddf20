#include "ci/crash/report_ids.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <thread>

#include "tests/support/processes_win.h"
#include "tests/support/registry_win.h"

namespace ci {
namespace {

// ---------------------------------------------------------------------------
// The store object over a private mutex and a fake store.

class MemoryStore : public ReportIdStore {
 public:
  bool Read(std::vector<std::uint8_t>* bytes) override {
    if (!value) return false;
    *bytes = *value;
    return true;
  }
  void Write(const ReportIdBytes& bytes) override { value.emplace(bytes.begin(), bytes.end()); }
  std::optional<std::vector<std::uint8_t>> value;
};

std::wstring PrivateMutexName() {
  return L"Global\\vu_report_ids_test_" + std::to_wstring(::GetCurrentProcessId());
}

TEST(ReportIds, DestructionAddsTheCountsToTheStore) {
  MemoryStore store;
  {
    ReportIds report_ids(PrivateMutexName().c_str(), &store);
    ASSERT_TRUE(report_ids.has_handle());
    EXPECT_TRUE(report_ids.RecordReportId(kReportIdGuidCreationFailed));
    EXPECT_TRUE(report_ids.RecordReportId(kReportIdGuidCreationFailed));
    EXPECT_TRUE(report_ids.RecordReportId(3));
    EXPECT_FALSE(store.value) << "recording touches no store";
  }
  ASSERT_TRUE(store.value);
  ReportIdRecord stored;
  ASSERT_TRUE(ReportIdRecordFromBytes(store.value->data(), store.value->size(), &stored));
  ASSERT_EQ(stored.count, 2u);
  EXPECT_EQ(stored.ids[0], kReportIdGuidCreationFailed);
  EXPECT_EQ(stored.hits[0], 2);
  EXPECT_EQ(stored.ids[1], 3u);
}

TEST(ReportIds, NothingRecordedWritesNothing) {
  MemoryStore store;
  { ReportIds report_ids(PrivateMutexName().c_str(), &store); }
  EXPECT_FALSE(store.value);
}

TEST(ReportIds, ProcessWideInstanceHoldsTheSharedMutex) {
  ReportIds& report_ids = GlobalReportIds();
  EXPECT_EQ(&GlobalReportIds(), &report_ids);
  EXPECT_TRUE(report_ids.has_handle());
  EXPECT_EQ(report_ids.record().count, 0u);
  // The name is one machine-wide object: a second lock on it waits for the first.
  ASSERT_TRUE(report_ids.Lock());
  LockWait other = LockWait::kHeld;
  std::thread([&] { other = GLock(kReportIdsLockName).TryLockFor(0); }).join();
  EXPECT_EQ(other, LockWait::kTimedOut);
  EXPECT_TRUE(report_ids.Unlock());
}

// Starts `program` from beside this test program with `arguments`.
UniqueHandle StartBeside(const char16_t* program, const std::wstring& arguments) {
  return test::StartProcess(test::Quoted(test::BesideTestProgram(program)) + u" " +
                            FromWin(arguments.c_str()));
}

// Another process holds `mutex_name` from construction until destruction.
class LockHolder {
 public:
  explicit LockHolder(const std::wstring& mutex_name)
      : release_name_(L"vu_report_ids_release_" + std::to_wstring(::GetCurrentProcessId())) {
    release_.reset(::CreateEventW(nullptr, TRUE, FALSE, release_name_.c_str()));
    held_.reset(::CreateEventW(nullptr, TRUE, FALSE, (release_name_ + L"_held").c_str()));
    process_ = StartBeside(u"glock_helper.exe", L"hold " + mutex_name + L" " + release_name_);
  }
  ~LockHolder() {
    ::SetEvent(release_.get());
    EXPECT_EQ(test::WaitForExit(process_.get(), 30000), 0u) << "holder";
  }
  // True once the other process holds the mutex.
  bool WaitUntilHeld() const {
    return process_ && ::WaitForSingleObject(held_.get(), 30000) == WAIT_OBJECT_0;
  }

 private:
  std::wstring release_name_;
  UniqueHandle release_, held_, process_;
};

long long MillisecondsSince(DWORD start) {
  return static_cast<long long>(::GetTickCount() - start);
}

TEST(ReportIds, FlushGivesUpAfterAFewSecondsWhenAnotherProcessHoldsTheLock) {
  const std::wstring name = PrivateMutexName() + L"_held";
  LockHolder holder(name);
  ASSERT_TRUE(holder.WaitUntilHeld());
  MemoryStore store;
  const DWORD start = ::GetTickCount();
  {
    ReportIds report_ids(name.c_str(), &store);
    report_ids.RecordReportId(kReportIdGuidCreationFailed);
  }
  const long long elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, static_cast<long long>(kReportIdFlushWaitMs) - 100);
  EXPECT_LT(elapsed, static_cast<long long>(kReportIdFlushWaitMs) + 3000);
  EXPECT_FALSE(store.value) << "written without the lock";
}

// ---------------------------------------------------------------------------
// The registry tally under concurrency: several recorder processes at once.

const wchar_t kSharedKey[] = L"Software\\Velmor\\Velmor Updater\\Shared";
const wchar_t kValue[] = L"report_ids";

std::optional<std::vector<std::uint8_t>> ReadStored() {
  test::RawValue value;
  if (!test::ReadRaw(HKEY_LOCAL_MACHINE, FromWin(kSharedKey), FromWin(kValue), &value) ||
      value.type != REG_BINARY) {
    return std::nullopt;
  }
  return value.bytes;
}

void WriteStored(const void* data, DWORD size) {
  EXPECT_TRUE(test::WriteRaw(HKEY_LOCAL_MACHINE, FromWin(kSharedKey), FromWin(kValue), REG_BINARY,
                             data, size));
}

void DeleteStored() { ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, kValue); }

using Tally = std::map<std::uint32_t, std::uint32_t>;

class Tallying : public testing::Test {
 protected:
  void SetUp() override { DeleteStored(); }
  void TearDown() override { DeleteStored(); }

  // Starts one recorder per id list, releases them together and waits for all.
  // Returns what all of them recorded together.
  Tally RunRecorders(const std::vector<std::vector<std::uint32_t>>& lists) {
    const std::wstring event_name =
        L"vu_report_ids_start_" + std::to_wstring(::GetCurrentProcessId());
    UniqueHandle start(::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
    EXPECT_TRUE(start);
    Tally recorded;
    std::vector<UniqueHandle> processes;
    for (const auto& ids : lists) {
      std::wstring arguments = event_name;
      for (std::uint32_t id : ids) {
        wchar_t hex[16];
        swprintf(hex, 16, L" %x", id);
        arguments += hex;
        ++recorded[id];
      }
      processes.push_back(StartBeside(u"report_ids_recorder.exe", arguments));
      EXPECT_TRUE(processes.back());
    }
    ::Sleep(300);  // let them all reach the wait
    ::SetEvent(start.get());
    for (DWORD code : test::WaitForAll(processes, 120000)) EXPECT_EQ(code, 0u);
    return recorded;
  }

  // The stored record, which must be exactly 124 bytes.
  ReportIdRecord Stored() {
    ReportIdRecord record;
    const auto bytes = ReadStored();
    EXPECT_TRUE(bytes);
    if (bytes) {
      EXPECT_EQ(bytes->size(), 124u);
      EXPECT_TRUE(ReportIdRecordFromBytes(bytes->data(), bytes->size(), &record));
      EXPECT_LE(bytes->at(0) | bytes->at(1) << 8 | bytes->at(2) << 16 | bytes->at(3) << 24, 20);
    }
    return record;
  }

  static Tally TallyOf(const ReportIdRecord& record) {
    Tally tally;
    for (std::size_t i = 0; i < UsedEntries(record); ++i) tally[record.ids[i]] += record.hits[i];
    return tally;
  }
};

// A process with counts to flush ends although another process holds the
// machine-wide lock for longer than it would wait; the tally stays as it was.
TEST_F(Tallying, ProcessEndsWhileAnotherHoldsTheSharedLock) {
  LockHolder holder(kReportIdsLockName);
  ASSERT_TRUE(holder.WaitUntilHeld());
  const std::wstring event_name =
      L"vu_report_ids_start_" + std::to_wstring(::GetCurrentProcessId());
  UniqueHandle start(::CreateEventW(nullptr, TRUE, TRUE, event_name.c_str()));
  const DWORD started = ::GetTickCount();
  const UniqueHandle recorder =
      StartBeside(u"report_ids_recorder.exe", event_name + L" e41db6b c0de0001");
  ASSERT_TRUE(recorder);
  EXPECT_EQ(test::WaitForExit(recorder.get(), 20000), 0u) << "the recorder did not end";
  EXPECT_LT(MillisecondsSince(started), static_cast<long long>(kReportIdFlushWaitMs) + 10000);
  EXPECT_FALSE(ReadStored()) << "written without the lock";
}

constexpr int kRecorders = 10;

// Every recorder records the two common ids (k+1 and 2 times) and one of its own.
std::vector<std::vector<std::uint32_t>> CommonMix() {
  std::vector<std::vector<std::uint32_t>> lists;
  for (int k = 0; k < kRecorders; ++k) {
    std::vector<std::uint32_t> ids;
    for (int i = 0; i <= k; ++i) ids.push_back(kReportIdGuidCreationFailed);
    ids.push_back(0xC0DE0001);
    ids.push_back(0xC0DE0001);
    ids.push_back(0xAB000000u + k);
    lists.push_back(ids);
  }
  return lists;
}

TEST_F(Tallying, NoCountIsLostBetweenProcesses) {
  const Tally recorded = RunRecorders(CommonMix());
  EXPECT_EQ(TallyOf(Stored()), recorded);
}

TEST_F(Tallying, AddsToAnExistingRecord) {
  ReportIdRecord existing;
  existing.count = 2;
  existing.ids[0] = 0x5EED;
  existing.hits[0] = 7;
  existing.ids[1] = kReportIdGuidCreationFailed;
  existing.hits[1] = 5;
  const ReportIdBytes image = ReportIdRecordToBytes(existing);
  WriteStored(image.data(), static_cast<DWORD>(image.size()));

  Tally expected = RunRecorders(CommonMix());
  expected[0x5EED] += 7;
  expected[kReportIdGuidCreationFailed] += 5;
  const ReportIdRecord stored = Stored();
  EXPECT_EQ(TallyOf(stored), expected);
  // Existing entries keep their places.
  EXPECT_EQ(stored.ids[0], 0x5EEDu);
  EXPECT_EQ(stored.ids[1], kReportIdGuidCreationFailed);
}

TEST_F(Tallying, WronglySizedValueIsReplaced) {
  const std::vector<std::uint8_t> short_value(120, 0x11);
  WriteStored(short_value.data(), static_cast<DWORD>(short_value.size()));
  const Tally recorded = RunRecorders(CommonMix());
  EXPECT_EQ(TallyOf(Stored()), recorded);
}

TEST_F(Tallying, KeepsTheFirstTwentyDistinctIds) {
  // Each recorder has the two common ids first and three of its own: 32 distinct.
  std::vector<std::vector<std::uint32_t>> lists;
  std::set<std::uint32_t> own_ids;
  for (int k = 0; k < kRecorders; ++k) {
    std::vector<std::uint32_t> ids = {0xC0DE0001, 0xC0DE0002, 0xC0DE0002};
    for (int j = 0; j < 3; ++j) {
      ids.push_back(0xAB000000u + 16 * k + j);
      own_ids.insert(ids.back());
    }
    lists.push_back(ids);
  }
  RunRecorders(lists);
  const ReportIdRecord stored = Stored();
  ASSERT_EQ(stored.count, 20u);
  EXPECT_EQ(stored.ids[0], 0xC0DE0001u);
  EXPECT_EQ(stored.hits[0], kRecorders);
  EXPECT_EQ(stored.ids[1], 0xC0DE0002u);
  EXPECT_EQ(stored.hits[1], 2 * kRecorders);
  std::set<std::uint32_t> seen;
  for (std::size_t i = 2; i < 20; ++i) {
    EXPECT_EQ(own_ids.count(stored.ids[i]), 1u) << std::hex << stored.ids[i];
    EXPECT_TRUE(seen.insert(stored.ids[i]).second) << "duplicate entry";
    EXPECT_EQ(stored.hits[i], 1);
  }
}

TEST_F(Tallying, CountAboveTwentyIsRepaired) {
  ReportIdRecord existing;
  for (std::uint32_t i = 0; i < 20; ++i) {
    existing.ids[i] = 0x7000 + i;
    existing.hits[i] = 1;
  }
  existing.ids[4] = kReportIdGuidCreationFailed;
  existing.ids[9] = 0xC0DE0001;
  existing.count = 0x7FFFFFFF;
  const ReportIdBytes image = ReportIdRecordToBytes(existing);
  WriteStored(image.data(), static_cast<DWORD>(image.size()));

  const Tally recorded = RunRecorders(CommonMix());
  const ReportIdRecord stored = Stored();
  EXPECT_EQ(stored.count, 20u);
  Tally expected = TallyOf([&] {
    ReportIdRecord repaired = existing;
    repaired.count = 20;
    return repaired;
  }());
  // The full record takes no new ids; the two it already had are added to.
  expected[kReportIdGuidCreationFailed] += recorded.at(kReportIdGuidCreationFailed);
  expected[0xC0DE0001] += recorded.at(0xC0DE0001);
  EXPECT_EQ(TallyOf(stored), expected);
}

}  // namespace
}  // namespace ci
