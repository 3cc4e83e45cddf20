// Table-driven 32-bit CRC behind a small general CRC interface (values of up to
// 128 bits travel as two 64-bit words). Bit-reflected, no final inversion: the
// value after Update is the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ci {

class CRC {
 public:
  virtual ~CRC() = default;
  // The value of the CRC over zero bytes.
  virtual void InitialValue(std::uint64_t* lo, std::uint64_t* hi) const = 0;
  // Advances the value over `length` bytes.
  virtual void Update(std::uint64_t* lo, std::uint64_t* hi, const void* bytes,
                      std::size_t length) const = 0;
  // Advances the value over `count` zero bytes.
  virtual void UpdateWithZeros(std::uint64_t* lo, std::uint64_t* hi, std::uint64_t count) const = 0;
  // Moves a sliding window one byte on: `outgoing` leaves, `incoming` enters.
  virtual void Slide(std::uint64_t* lo, std::uint64_t* hi, std::uint8_t outgoing,
                     std::uint8_t incoming) const = 0;
};

// Configuration common to CRC implementations.
class CRCImpl : public CRC {
 protected:
  CRCImpl(std::size_t window_length, int degree, std::uint64_t poly_lo, std::uint64_t poly_hi)
      : window_length_(window_length), degree_(degree), poly_lo_(poly_lo), poly_hi_(poly_hi) {}

  std::size_t window_length_;
  int degree_;
  std::uint64_t poly_lo_;
  std::uint64_t poly_hi_;
};

class CRC32 final : public CRCImpl {
 public:
  // Builds (or reuses) the tables for the reflected polynomial in the low 32 bits
  // of `poly_lo`; `window_length` is the number of bytes `Slide` keeps in view.
  CRC32(std::uint64_t poly_lo, std::uint64_t poly_hi, std::size_t window_length = 0);
  ~CRC32() override;

  void InitialValue(std::uint64_t* lo, std::uint64_t* hi) const override;
  void Update(std::uint64_t* lo, std::uint64_t* hi, const void* bytes,
              std::size_t length) const override;
  void UpdateWithZeros(std::uint64_t* lo, std::uint64_t* hi, std::uint64_t count) const override;
  void Slide(std::uint64_t* lo, std::uint64_t* hi, std::uint8_t outgoing,
             std::uint8_t incoming) const override;

  struct Tables;

  // Checksums create and release one CRC32 each; a released object's memory is
  // kept per thread for the next one.
  static void* operator new(std::size_t size);
  static void operator delete(void* block);

 private:
  const Tables* tables_;
  std::unique_ptr<Tables> owned_tables_;  // only for polynomials without shared tables
};

// A new CRC32 for the given 128-bit polynomial number; the caller owns it.
std::unique_ptr<CRC32> NewCrc32(std::uint64_t poly_lo, std::uint64_t poly_hi);

// The polynomial the product's message checksums use.
constexpr std::uint32_t kCrc32Polynomial = 0xB9E50C1Du;

}  // namespace ci
