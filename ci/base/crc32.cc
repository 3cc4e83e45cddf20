#include "ci/base/crc32.h"

#include <cstring>
#include <new>
#include <utility>

namespace ci {

struct CRC32::Tables {
  std::uint32_t t[4][256];   // t[k][i]: byte i followed by k zero bytes
  std::uint32_t slide[256];  // outgoing-byte correction for Slide
  std::uint32_t zeros[84];   // x^(2048 * d * 4^k) mod P, d = 1..3, k = 0..27
  std::uint32_t poly;
  std::size_t window_length;
};

namespace {

using Tables = CRC32::Tables;

inline std::uint32_t StepByte(const Tables& tb, std::uint32_t v, std::uint8_t b) {
  return tb.t[0][(v ^ b) & 0xFF] ^ (v >> 8);
}

// One zero byte: the register multiplied by x^8 modulo P.
inline std::uint32_t ZeroByte(const Tables& tb, std::uint32_t v) {
  return tb.t[0][v & 0xFF] ^ (v >> 8);
}

std::uint32_t ZeroBytes(const Tables& tb, std::uint32_t v, std::uint64_t n) {
  for (std::uint64_t i = 0; i < n; ++i) v = ZeroByte(tb, v);
  return v;
}

// Product of two reflected polynomials modulo P (x^0 is the top bit).
std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b, std::uint32_t poly) {
  std::uint32_t product = 0;
  for (std::uint32_t bit = 0x80000000u; bit != 0; bit >>= 1) {
    if (a & bit) product ^= b;
    b = (b & 1) ? (b >> 1) ^ poly : b >> 1;
  }
  return product;
}

void BuildTables(Tables* tb, std::uint32_t poly, std::size_t window_length) {
  std::uint32_t* t0 = tb->t[0];
  t0[0] = 0;
  t0[128] = poly;
  for (int d = 64; d >= 1; d >>= 1) {
    const std::uint32_t twice = t0[2 * d];
    t0[d] = (twice >> 1) ^ ((twice & 1) ? poly : 0);
  }
  for (int n = 2; n <= 128; n <<= 1) {
    for (int j = 1; j < n; ++j) t0[n + j] = t0[n] ^ t0[j];
  }
  for (int k = 1; k < 4; ++k) {
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t prev = tb->t[k - 1][i];
      tb->t[k][i] = (prev >> 8) ^ t0[prev & 0xFF];
    }
  }
  tb->poly = poly;
  tb->window_length = window_length;

  // Dropping the oldest byte o of a window of W bytes: its term o*x^(8W) and the
  // change of the initial value's term, P*x^(8(W+1)) + P*x^(8W), cancel out.
  const std::uint32_t init_w = ZeroBytes(*tb, poly, window_length);
  const std::uint32_t init_correction = init_w ^ ZeroByte(*tb, init_w);
  for (int o = 0; o < 256; ++o) {
    tb->slide[o] = ZeroBytes(*tb, t0[o], window_length) ^ init_correction;
  }

  // Multipliers for runs of zeros: x^2048 is 256 zero bytes applied to x^0.
  std::uint32_t base = ZeroBytes(*tb, 0x80000000u, 256);
  for (int k = 0; k < 28; ++k) {
    const std::uint32_t m1 = base;
    const std::uint32_t m2 = MultiplyModP(m1, m1, poly);
    const std::uint32_t m3 = MultiplyModP(m2, m1, poly);
    tb->zeros[3 * k] = m1;
    tb->zeros[3 * k + 1] = m2;
    tb->zeros[3 * k + 2] = m3;
    base = MultiplyModP(m2, m2, poly);
  }
}

const Tables* SharedTables() {
  // Built once; every checksum of the product's polynomial shares them.
  static const Tables* const tables = [] {
    static Tables storage;
    BuildTables(&storage, kCrc32Polynomial, 0);
    return &storage;
  }();
  return tables;
}

inline std::uint32_t LoadLittleEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

CRC32::CRC32(std::uint64_t poly_lo, std::uint64_t poly_hi, std::size_t window_length)
    : CRCImpl(window_length, 32, poly_lo, poly_hi), tables_(nullptr) {
  const std::uint32_t poly = static_cast<std::uint32_t>(poly_lo);
  if (poly == kCrc32Polynomial && window_length == 0) {
    tables_ = SharedTables();
  } else {
    owned_tables_ = std::make_unique<Tables>();
    BuildTables(owned_tables_.get(), poly, window_length);
    tables_ = owned_tables_.get();
  }
}

CRC32::~CRC32() = default;

void CRC32::InitialValue(std::uint64_t* lo, std::uint64_t* hi) const {
  *lo = poly_lo_;
  *hi = poly_hi_;
}

void CRC32::Update(std::uint64_t* lo, std::uint64_t* hi, const void* bytes,
                   std::size_t length) const {
  const Tables& tb = *tables_;
  const std::uint8_t* p = static_cast<const std::uint8_t*>(bytes);
  const std::uint8_t* const end = p + length;
  std::uint32_t v = static_cast<std::uint32_t>(*lo);

  while (p != end && (reinterpret_cast<std::uintptr_t>(p) & 3) != 0) v = StepByte(tb, v, *p++);
  auto step4 = [&tb](std::uint32_t x) {
    return tb.t[3][x & 0xFF] ^ tb.t[2][(x >> 8) & 0xFF] ^ tb.t[1][(x >> 16) & 0xFF] ^
           tb.t[0][x >> 24];
  };
  while (end - p >= 16) {  // four 4-byte steps per loop turn
    v = step4(v ^ LoadLittleEndian32(p));
    v = step4(v ^ LoadLittleEndian32(p + 4));
    v = step4(v ^ LoadLittleEndian32(p + 8));
    v = step4(v ^ LoadLittleEndian32(p + 12));
    p += 16;
  }
  while (end - p >= 4) {
    v = step4(v ^ LoadLittleEndian32(p));
    p += 4;
  }
  while (p != end) v = StepByte(tb, v, *p++);
  *lo = v;
}

void CRC32::UpdateWithZeros(std::uint64_t* lo, std::uint64_t* hi, std::uint64_t count) const {
  const Tables& tb = *tables_;
  std::uint32_t v = ZeroBytes(tb, static_cast<std::uint32_t>(*lo), count & 0xFF);
  std::uint64_t blocks = count >> 8;  // runs of 256 zero bytes, in base-4 digits
  for (int k = 0; blocks != 0; ++k, blocks >>= 2) {
    const unsigned digit = static_cast<unsigned>(blocks & 3);
    if (digit != 0) v = MultiplyModP(tb.zeros[3 * k + digit - 1], v, tb.poly);
  }
  *lo = v;
}

void CRC32::Slide(std::uint64_t* lo, std::uint64_t* hi, std::uint8_t outgoing,
                  std::uint8_t incoming) const {
  const Tables& tb = *tables_;
  const std::uint32_t v = static_cast<std::uint32_t>(*lo);
  *lo = tb.t[0][(v ^ incoming) & 0xFF] ^ tb.slide[outgoing] ^ (v >> 8);
}

namespace {
struct SpareBlock {
  void* block = nullptr;
  ~SpareBlock() { ::operator delete(block); }
};
thread_local SpareBlock spare_crc32;
}  // namespace

void* CRC32::operator new(std::size_t size) {
  if (size == sizeof(CRC32) && spare_crc32.block != nullptr) {
    return std::exchange(spare_crc32.block, nullptr);
  }
  return ::operator new(size);
}

void CRC32::operator delete(void* block) {
  if (block != nullptr && spare_crc32.block == nullptr) {
    spare_crc32.block = block;
    return;
  }
  ::operator delete(block);
}

std::unique_ptr<CRC32> NewCrc32(std::uint64_t poly_lo, std::uint64_t poly_hi) {
  return std::make_unique<CRC32>(poly_lo, poly_hi);
}

}  // namespace ci
