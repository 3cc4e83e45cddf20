// CRC32 throughput against a byte-at-a-time table reference, and the cost of one
// complete message checksum (NewCrc32, InitialValue, Update, release) against a
// bare bytewise CRC of the same 6 bytes with prebuilt tables.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "ci/base/crc32.h"

namespace {

struct BytewiseTable {
  std::uint32_t t[256];
  BytewiseTable() {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t v = i;
      for (int k = 0; k < 8; ++k) v = (v & 1) ? (v >> 1) ^ ci::kCrc32Polynomial : v >> 1;
      t[i] = v;
    }
  }
};
const BytewiseTable kTable;

std::uint32_t BytewiseCrc(std::uint32_t v, const std::uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) v = kTable.t[(v ^ p[i]) & 0xFF] ^ (v >> 8);
  return v;
}

std::vector<std::uint8_t> Data(size_t n) {
  std::vector<std::uint8_t> d(n);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return d;
}

void BM_Update(benchmark::State& state) {
  const auto data = Data(static_cast<size_t>(state.range(0)));
  auto crc = ci::NewCrc32(ci::kCrc32Polynomial, 0);
  for (auto _ : state) {
    std::uint64_t lo = ci::kCrc32Polynomial, hi = 0;
    crc->Update(&lo, &hi, data.data(), data.size());
    benchmark::DoNotOptimize(lo);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_BytewiseReference(benchmark::State& state) {
  const auto data = Data(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::uint32_t v = BytewiseCrc(ci::kCrc32Polynomial, data.data(), data.size());
    benchmark::DoNotOptimize(v);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

const std::uint8_t kMessage[6] = {0x08, 0x01, 0x10, 0x01, 0x18, 0x00};

void BM_MessageChecksumWithNewCrc32(benchmark::State& state) {
  for (auto _ : state) {
    const std::uint8_t* bytes = kMessage;
    benchmark::DoNotOptimize(bytes);
    auto crc = ci::NewCrc32(ci::kCrc32Polynomial, 0);
    std::uint64_t lo = 0, hi = 0;
    crc->InitialValue(&lo, &hi);
    crc->Update(&lo, &hi, bytes, sizeof(kMessage));
    crc.reset();
    benchmark::DoNotOptimize(lo);
  }
}

void BM_MessageChecksumBytewisePrebuilt(benchmark::State& state) {
  for (auto _ : state) {
    const std::uint8_t* bytes = kMessage;
    benchmark::DoNotOptimize(bytes);
    std::uint32_t v = BytewiseCrc(ci::kCrc32Polynomial, bytes, sizeof(kMessage));
    benchmark::DoNotOptimize(v);
  }
}

BENCHMARK(BM_Update)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_BytewiseReference)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_MessageChecksumWithNewCrc32);
BENCHMARK(BM_MessageChecksumBytewisePrebuilt);

}  // namespace

BENCHMARK_MAIN();
