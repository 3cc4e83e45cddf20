// The differential harness shared by the tests against libprotobuf: random
// content, valid encodings padded to longer varint forms, and the loop that
// compares decoding, encoding and truncation on both sides.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "net/proto/protocol_message.h"

namespace differential {

inline bool Parse(ProtocolMessage* m, const std::string& bytes) {
  return ParseFromBytes(m, reinterpret_cast<const uint8_t*>(bytes.data()),
                        static_cast<int32_t>(bytes.size()));
}

inline std::string Encode(const ProtocolMessage& m) {
  std::string out;
  AppendEncoded(m, &out);
  return out;
}

class Random {
 public:
  explicit Random(uint32_t seed) : rng_(seed) {}
  bool Chance(int percent) { return Below(100) < static_cast<uint32_t>(percent); }
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  uint32_t U32() { return static_cast<uint32_t>(rng_()); }
  uint64_t U64() { return static_cast<uint64_t>(rng_()) << 32 | rng_(); }
  std::string Bytes(size_t max) {
    std::string s(Below(static_cast<uint32_t>(max) + 1), '\0');
    for (char& c : s) c = static_cast<char>(Below(256));
    return s;
  }
  // Small and boundary values as well as arbitrary ones.
  int32_t Int32() {
    static const int32_t kEdges[] = {0, 1, -1, 127, 128, -128, INT32_MAX, INT32_MIN};
    return Chance(50) ? kEdges[Below(8)] : static_cast<int32_t>(U32());
  }
  double Double() {
    return Chance(30) ? 0.0 : std::uniform_real_distribution<double>(-1e6, 1e6)(rng_);
  }
  uint32_t Port() {
    static const uint32_t kEdges[] = {0,     1,          80,          443,        8080,
                                      65535, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
    return Chance(50) ? kEdges[Below(9)] : U32();
  }

 private:
  std::mt19937 rng_;
};

// Re-writes a valid encoding with varints padded to longer (still valid) forms:
// tags and lengths up to 5 bytes, varint values up to 10 bytes.
class Padder {
 public:
  Padder(Random& r, const std::string& in) : r_(r), in_(in) {}

  std::string Run() {
    while (pos_ < in_.size()) Field(false);
    return out_;
  }

 private:
  uint64_t Varint() {
    uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
      const uint8_t b = static_cast<uint8_t>(in_.at(pos_++));
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (b < 0x80) return v;
    }
  }
  void PutVarint(uint64_t v, int max_bytes) {
    int len = 1;
    for (uint64_t t = v; t >= 0x80; t >>= 7) ++len;
    const int padded =
        len +
        static_cast<int>(r_.Chance(30) ? r_.Below(static_cast<uint32_t>(max_bytes - len) + 1) : 0);
    for (int i = 0; i < padded; ++i) {
      const uint8_t low = static_cast<uint8_t>(v & 0x7F);
      v >>= 7;
      out_.push_back(static_cast<char>(i + 1 < padded ? low | 0x80 : low));
    }
  }
  void Copy(size_t n) {
    out_.append(in_, pos_, n);
    pos_ += n;
  }
  // Returns true at an end-group tag.
  bool Field(bool in_group) {
    const uint64_t tag = Varint();
    PutVarint(tag, 5);
    switch (tag & 7) {
      case 0:
        PutVarint(Varint(), 10);
        break;
      case 1:
        Copy(8);
        break;
      case 2: {
        const uint64_t n = Varint();
        PutVarint(n, 5);
        Copy(static_cast<size_t>(n));
        break;
      }
      case 3:
        while (!Field(true)) {
        }
        break;
      case 4:
        return true;
      case 5:
        Copy(4);
        break;
    }
    (void)in_group;
    return false;
  }

  Random& r_;
  const std::string& in_;
  size_t pos_ = 0;
  std::string out_;
};

// `fill(r, &theirs)` sets random content in one of libprotobuf's messages;
// `compare(ours, theirs)` expects the same values in both.
template <typename Ours, typename Theirs>
void RunDifferential(uint32_t seed, int rounds, void (*fill)(Random&, Theirs*),
                     void (*compare)(const Ours&, const Theirs&)) {
  Random r(seed);
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    // One or two messages back to back: a field met twice keeps the last value.
    Theirs first, second;
    fill(r, &first);
    std::string wire = first.SerializeAsString();
    if (r.Chance(30)) {
      fill(r, &second);
      wire += second.SerializeAsString();
    }
    if (r.Chance(50)) wire = Padder(r, wire).Run();

    Theirs theirs;
    ASSERT_TRUE(theirs.ParseFromString(wire));
    Ours ours;
    ASSERT_TRUE(Parse(&ours, wire));
    compare(ours, theirs);

    // Our encoding parses in libprotobuf to the same values and unknown fields.
    const std::string encoded = Encode(ours);
    Theirs back;
    ASSERT_TRUE(back.ParseFromString(encoded));
    compare(ours, back);
    EXPECT_EQ(back.SerializeAsString(), theirs.SerializeAsString());

    // Our re-encoding is stable: decoding and encoding it again changes nothing.
    Ours again;
    ASSERT_TRUE(Parse(&again, encoded));
    EXPECT_EQ(Encode(again), encoded);

    // Decoding again into the cleared message (records and strings kept) too.
    ours.Clear();
    ASSERT_TRUE(Parse(&ours, wire));
    EXPECT_EQ(Encode(ours), encoded);

    // Every truncation is accepted or refused by both alike.
    const size_t cut = r.Below(static_cast<uint32_t>(wire.size()) + 1);
    Theirs theirs_cut;
    Ours ours_cut;
    EXPECT_EQ(Parse(&ours_cut, wire.substr(0, cut)),
              theirs_cut.ParseFromString(wire.substr(0, cut)))
        << "cut at " << cut << " of " << wire.size();
  }
}

}  // namespace differential
