#include "ci/base/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace ci {
namespace {

// Bit-at-a-time reference: the definition of the reflected CRC with no inversion.
std::uint32_t BitwiseCrc(std::uint32_t v, const std::uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    v ^= p[i];
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kCrc32Polynomial : v >> 1;
  }
  return v;
}

std::uint32_t Checksum(const CRC& crc, const void* p, size_t n) {
  std::uint64_t lo = 0, hi = 0;
  crc.InitialValue(&lo, &hi);
  crc.Update(&lo, &hi, p, n);
  EXPECT_EQ(lo >> 32, 0u);
  return static_cast<std::uint32_t>(lo);
}

std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

TEST(Crc32, PublishedCheckValues) {
  auto crc = NewCrc32(kCrc32Polynomial, 0);
  std::uint64_t lo = 1, hi = 7;
  crc->InitialValue(&lo, &hi);
  EXPECT_EQ(lo, 0xB9E50C1Du);
  EXPECT_EQ(hi, 0u);
  EXPECT_EQ(Checksum(*crc, "", 0), 0xB9E50C1Du);
  EXPECT_EQ(Checksum(*crc, "abc", 3), 0x546208AAu);
  EXPECT_EQ(Checksum(*crc, "123456789", 9), 0x02F9D3C4u);
  // The stored-value checksums of the preference stores.
  const std::uint8_t send_stats[] = {0x10, 0x01};
  EXPECT_EQ(Checksum(*crc, send_stats, 2), 0xE7162412u);
  const std::uint8_t auto_detect[] = {0x08, 0x01};
  EXPECT_EQ(Checksum(*crc, auto_detect, 2), 0xB4917C73u);
}

TEST(Crc32, UpdateLeavesHighWordAlone) {
  auto crc = NewCrc32(kCrc32Polynomial, 0);
  std::uint64_t lo = 0xFFFFFFFF00000000ull | 0x1234u, hi = 0xABCDu;
  crc->Update(&lo, &hi, "x", 1);
  EXPECT_EQ(lo >> 32, 0u);
  EXPECT_EQ(hi, 0xABCDu);
}

TEST(Crc32, MatchesBitwiseReferenceForAnySplitAndAlignment) {
  std::mt19937 rng(12345);
  auto crc = NewCrc32(kCrc32Polynomial, 0);
  for (int round = 0; round < 200; ++round) {
    const size_t n = rng() % 300;
    const auto bytes = RandomBytes(rng, n);
    const std::uint32_t expected = BitwiseCrc(kCrc32Polynomial, bytes.data(), n);

    // Every start offset modulo 4 inside an aligned buffer.
    for (size_t offset = 0; offset < 4; ++offset) {
      std::vector<std::uint8_t> shifted(n + 8);
      std::memcpy(shifted.data() + offset, bytes.data(), n);
      EXPECT_EQ(Checksum(*crc, shifted.data() + offset, n), expected);
    }

    const size_t split = n == 0 ? 0 : rng() % (n + 1);
    std::uint64_t lo = 0, hi = 0;
    crc->InitialValue(&lo, &hi);
    crc->Update(&lo, &hi, bytes.data(), split);
    crc->Update(&lo, &hi, bytes.data() + split, n - split);
    EXPECT_EQ(static_cast<std::uint32_t>(lo), expected) << "split at " << split << " of " << n;
  }
}

TEST(Crc32, UpdateWithZerosEqualsUpdateOverZeroBytes) {
  auto crc = NewCrc32(kCrc32Polynomial, 0);
  for (std::uint64_t count : {0ull, 1ull, 3ull, 255ull, 256ull, 257ull, 1023ull, 1024ull,
                              4096ull + 77, 70000ull, 1000003ull}) {
    const std::vector<std::uint8_t> zeros(count, 0);
    std::uint64_t lo = 0x5A5A1234u, hi = 0;
    crc->UpdateWithZeros(&lo, &hi, count);
    EXPECT_EQ(static_cast<std::uint32_t>(lo), BitwiseCrc(0x5A5A1234u, zeros.data(), count))
        << count << " zeros";
  }
}

TEST(Crc32, SlideEqualsRecomputingTheWindow) {
  std::mt19937 rng(99);
  for (size_t window : {1u, 4u, 16u, 61u}) {
    CRC32 crc(kCrc32Polynomial, 0, window);
    const auto text = RandomBytes(rng, 400);
    std::uint64_t lo = 0, hi = 0;
    crc.InitialValue(&lo, &hi);
    crc.Update(&lo, &hi, text.data(), window);
    for (size_t start = 1; start + window <= text.size(); ++start) {
      crc.Slide(&lo, &hi, text[start - 1], text[start + window - 1]);
      ASSERT_EQ(static_cast<std::uint32_t>(lo),
                BitwiseCrc(kCrc32Polynomial, text.data() + start, window))
          << "window " << window << " at " << start;
    }
  }
}

TEST(Crc32, SlideWithoutWindowUsesTheCorrectionOfTheInitialValue) {
  // Window length 0: v' = T0[(v ^ in) & 0xFF] ^ S[out] ^ (v >> 8), where
  // S[x] = T0[x] ^ (Update of P over the single byte 0x80).
  auto crc = NewCrc32(kCrc32Polynomial, 0);
  const std::uint8_t b80 = 0x80;
  const std::uint32_t p80 = BitwiseCrc(kCrc32Polynomial, &b80, 1);
  for (std::uint32_t v : {0u, 1u, 0xDEADBEEFu, kCrc32Polynomial}) {
    for (int out : {0, 1, 0x80, 0xFF}) {
      const std::uint8_t in = 0x3C, o = static_cast<std::uint8_t>(out);
      std::uint64_t lo = v, hi = 0;
      crc->Slide(&lo, &hi, o, in);
      const std::uint32_t t0_out = BitwiseCrc(0, &o, 1);
      const std::uint32_t expected = BitwiseCrc(v, &in, 1) ^ t0_out ^ p80;
      EXPECT_EQ(static_cast<std::uint32_t>(lo), expected);
    }
  }
}

TEST(Crc32, OtherPolynomialsGetTheirOwnTables) {
  // The common reflected CRC-32 polynomial, with its check value for an
  // initial register of all ones and a final inversion.
  auto crc = NewCrc32(0xEDB88320u, 0);
  std::uint64_t lo = 0xFFFFFFFFu, hi = 0;
  crc->Update(&lo, &hi, "123456789", 9);
  EXPECT_EQ(static_cast<std::uint32_t>(lo) ^ 0xFFFFFFFFu, 0xCBF43926u);
  // The product polynomial is unaffected.
  EXPECT_EQ(Checksum(*NewCrc32(kCrc32Polynomial, 0), "abc", 3), 0x546208AAu);
}

}  // namespace
}  // namespace ci
