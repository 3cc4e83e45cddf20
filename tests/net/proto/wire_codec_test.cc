// The decoder's readers, skipping and unknown-field storage; the flat-buffer and
// chain writers producing the same, shortest encodings, and the size helpers
// predicting them.
#include "net/proto/wire_codec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "net/proto/byte_chain.h"
#include "net/proto/protocol_message.h"
#include "tests/support/bytes.h"

namespace {

using ci::test::Bytes;

Decoder Over(const Bytes& b) { return Decoder(b.data(), static_cast<int32_t>(b.size())); }

std::string ChainBytes(const ByteChain& chain) {
  std::string out(static_cast<size_t>(chain.size()), '\0');
  chain.CopyTo(reinterpret_cast<uint8_t*>(&out[0]));
  return out;
}

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(DecoderTest, Varint32TakesAtMostFiveBytesWithSmallLastByte) {
  uint32_t v = 0;
  Bytes max = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
  Decoder d = Over(max);
  ASSERT_TRUE(d.ReadVarint32(&v));
  EXPECT_EQ(v, 0xFFFFFFFFu);
  EXPECT_TRUE(d.AtEnd());

  // Bits above 31 in the fifth byte are dropped.
  Bytes high = {0x80, 0x80, 0x80, 0x80, 0x7F};
  d = Over(high);
  ASSERT_TRUE(d.ReadVarint32(&v));
  EXPECT_EQ(v, 0xF0000000u);

  Bytes too_long = {0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
  d = Over(too_long);
  EXPECT_FALSE(d.ReadVarint32(&v));
  EXPECT_EQ(d.BytesLeft(), 6);  // nothing consumed

  Bytes truncated = {0x80, 0x80};
  d = Over(truncated);
  EXPECT_FALSE(d.ReadVarint32(&v));
}

TEST(DecoderTest, Varint64KeepsOnlyLowestBitOfTenthByte) {
  uint64_t v = 0;
  Bytes minus_one = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01};
  Decoder d = Over(minus_one);
  ASSERT_TRUE(d.ReadVarint64(&v));
  EXPECT_EQ(v, ~uint64_t{0});

  Bytes extra_bits = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x7F};
  d = Over(extra_bits);
  ASSERT_TRUE(d.ReadVarint64(&v));
  EXPECT_EQ(v, uint64_t{1} << 63);

  Bytes eleven = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
  d = Over(eleven);
  EXPECT_FALSE(d.ReadVarint64(&v));
}

TEST(DecoderTest, Int32AcceptsFiveByteAndSignExtendedTenByteForms) {
  int32_t v = 0;
  Bytes five = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
  Decoder d = Over(five);
  ASSERT_TRUE(d.ReadInt32(&v));
  EXPECT_EQ(v, -1);

  Bytes ten = {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01};
  d = Over(ten);
  ASSERT_TRUE(d.ReadInt32(&v));
  EXPECT_EQ(v, -2);

  // 2^35 is not a sign-extended 32-bit value.
  Bytes wide = {0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
  d = Over(wide);
  EXPECT_FALSE(d.ReadInt32(&v));
}

TEST(DecoderTest, BoolReadsAnyNonzeroInt32RangeValueAsTrue) {
  struct Case {
    Bytes bytes;
    bool ok;
    bool value;
  } cases[] = {
      {{0x00}, true, false},
      {{0x02}, true, true},
      {{0x80, 0x00}, true, false},  // non-canonical zero
      {{0x80, 0x01}, true, true},   // 128
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, true, true},  // -1
      {{0x80, 0x80, 0x80, 0x80, 0x10}, false, false},                              // 2^32
      {{0x80, 0x80, 0x80, 0x80, 0x90, 0x00}, false, false},                        // 2^32, 6 bytes
      {{0x80}, false, false},                                                      // truncated
  };
  for (const Case& c : cases) {
    bool v = !c.value;
    Decoder d = Over(c.bytes);
    EXPECT_EQ(d.ReadBool(&v), c.ok) << c.bytes.size();
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.bytes.size();
    }
  }
}

TEST(DecoderTest, FixedWidthReadersNeedTheirWholeWidth) {
  int32_t v = 0;
  Bytes four = {0x90, 0x1F, 0x00, 0x80};
  Decoder d = Over(four);
  ASSERT_TRUE(d.ReadFixed32(&v));
  EXPECT_EQ(v, static_cast<int32_t>(0x80001F90u));
  Bytes three = {1, 2, 3};
  d = Over(three);
  EXPECT_FALSE(d.ReadFixed32(&v));

  double x = 0;
  Bytes one_and_half = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
  d = Over(one_and_half);
  ASSERT_TRUE(d.ReadDouble(&x));
  EXPECT_EQ(x, 1.5);
  Bytes seven = {0, 0, 0, 0, 0, 0, 0xF8};
  d = Over(seven);
  EXPECT_FALSE(d.ReadDouble(&x));
}

TEST(DecoderTest, StringLengthMustFitTheInput) {
  const uint8_t* bytes = nullptr;
  int32_t length = -1;
  Bytes ok = {0x03, 'a', 'b', 'c', 0x7F};
  Decoder d = Over(ok);
  ASSERT_TRUE(d.ReadStringBytes(&bytes, &length));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)), "abc");
  EXPECT_EQ(bytes, ok.data() + 1);  // handed out in place
  EXPECT_EQ(d.BytesLeft(), 1);

  std::string s = "old";
  Bytes two_byte_length(2 + 200, 'x');
  two_byte_length[0] = 0xC8;
  two_byte_length[1] = 0x01;
  d = Over(two_byte_length);
  ASSERT_TRUE(d.ReadString(&s));
  EXPECT_EQ(s, std::string(200, 'x'));
  EXPECT_TRUE(d.AtEnd());

  for (const Bytes& bad : {Bytes{0x04, 'a', 'b', 'c'},                // longer than the input
                           Bytes{0xC8, 0x01, 'a'},                    // two-byte length, too long
                           Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 'a'},  // negative
                           Bytes{0x80}}) {                            // truncated length
    d = Over(bad);
    s = "kept";
    EXPECT_FALSE(d.ReadString(&s)) << bad.size();
    EXPECT_EQ(s, "kept");
  }
}

TEST(DecoderTest, ReadTagDistinguishesEndZeroAndMalformed) {
  Bytes empty;
  Decoder d = Over(empty);
  EXPECT_EQ(d.ReadTag(), 0u);

  Bytes zero = {0x00, 0x08};
  d = Over(zero);
  EXPECT_EQ(d.ReadTag(), 0u);
  EXPECT_EQ(d.BytesLeft(), 1);  // the zero byte is consumed

  Bytes malformed = {0x80, 0x80, 0x80, 0x80, 0x80};
  d = Over(malformed);
  EXPECT_EQ(d.ReadTag(), 0u);
  EXPECT_EQ(d.BytesLeft(), 5);  // nothing consumed

  Bytes two_byte = {0x82, 0x01};
  d = Over(two_byte);
  EXPECT_EQ(d.ReadTag(), 130u);
}

TEST(DecoderTest, ExpectTagConsumesOnlyAnExactMatch) {
  Bytes b = {0x8B, 0x01, 0x10};
  Decoder d = Over(b);
  EXPECT_FALSE(d.ExpectTag(0x10));
  EXPECT_FALSE(d.ExpectTag(0x8C));
  EXPECT_TRUE(d.ExpectTag(0x8B));
  EXPECT_TRUE(d.ExpectTag(0x10));
  EXPECT_FALSE(d.ExpectTag(0x10));
  EXPECT_TRUE(d.AtEnd());
}

// SkipField over the whole input after its first tag; true when it stops
// exactly at the end.
bool SkipsExactly(const Bytes& b) {
  Decoder d = Over(b);
  const uint32_t tag = d.ReadTag();
  return tag != 0 && d.SkipField(tag) && d.AtEnd();
}

TEST(DecoderTest, SkipFieldStepsOverEachWireType) {
  EXPECT_TRUE(SkipsExactly({0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}));
  EXPECT_TRUE(SkipsExactly({0x09, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(SkipsExactly({0x0A, 0x02, 'h', 'i'}));
  EXPECT_TRUE(SkipsExactly({0x0D, 1, 2, 3, 4}));
  EXPECT_TRUE(SkipsExactly({0x0B, 0x10, 0x01, 0x1B, 0x22, 0x00, 0x1C, 0x0C}));  // nested groups
  EXPECT_TRUE(SkipsExactly({0x0B, 0x0C}));                                      // empty group
}

TEST(DecoderTest, SkipFieldFailsOnBadInput) {
  EXPECT_FALSE(SkipsExactly({0x08, 0x80}));                          // truncated varint
  EXPECT_FALSE(SkipsExactly({0x09, 1, 2, 3, 4, 5, 6, 7}));           // 7 of 8 bytes
  EXPECT_FALSE(SkipsExactly({0x0D, 1, 2, 3}));                       // 3 of 4 bytes
  EXPECT_FALSE(SkipsExactly({0x0A, 0x03, 'h', 'i'}));                // length beyond input
  EXPECT_FALSE(SkipsExactly({0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}));  // negative length
  EXPECT_FALSE(SkipsExactly({0x0B, 0x10, 0x01}));                    // group never closed
  EXPECT_FALSE(SkipsExactly({0x0B, 0x14}));                          // closed with another number
  EXPECT_FALSE(SkipsExactly({0x0B, 0x1B, 0x0C, 0x1C}));              // closed out of order
  EXPECT_FALSE(SkipsExactly({0x0B, 0x00, 0x0C}));                    // zero tag inside
  EXPECT_FALSE(SkipsExactly({0x0C}));                                // end group with none open
  EXPECT_FALSE(SkipsExactly({0x0E}));                                // wire type 6
  EXPECT_FALSE(SkipsExactly({0x0F}));                                // wire type 7
}

TEST(DecoderTest, GroupNestingIsBounded) {
  auto nested = [](int depth) {
    Bytes b(static_cast<size_t>(depth), 0x0B);
    b.insert(b.end(), static_cast<size_t>(depth), 0x0C);
    return b;
  };
  EXPECT_TRUE(SkipsExactly(nested(Decoder::kMaxGroupDepth)));
  EXPECT_FALSE(SkipsExactly(nested(Decoder::kMaxGroupDepth + 1)));
}

TEST(DecoderTest, MillionNestedGroupsFailFastWithoutExhaustingTheStack) {
  const Bytes b(1000000, 0x0B);
  OpaqueMessage message;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ParseFromBytes(&message, b.data(), static_cast<int32_t>(b.size())));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(message.EncodedSize(), 0);
}

TEST(DecoderTest, StoreUnknownFieldKeepsValueBytesAndShortensTheTag) {
  // Tag 0x08 written in a non-canonical two-byte form, then a non-canonical value.
  Bytes b = {0x88, 0x00, 0x81, 0x80, 0x00, 0x15, 1, 2, 3, 4};
  Decoder d = Over(b);
  ByteChain* chain = nullptr;
  uint32_t tag = d.ReadTag();
  ASSERT_EQ(tag, 0x08u);
  ASSERT_TRUE(d.StoreUnknownField(tag, &chain));
  ASSERT_NE(chain, nullptr);
  tag = d.ReadTag();
  ASSERT_TRUE(d.StoreUnknownField(tag, &chain));
  EXPECT_TRUE(d.AtEnd());
  EXPECT_EQ(ChainBytes(*chain), AsString({0x08, 0x81, 0x80, 0x00, 0x15, 1, 2, 3, 4}));
  delete chain;
}

TEST(DecoderTest, StoreUnknownFieldFailureStoresNothing) {
  Bytes b = {0x0A, 0x05, 'a'};
  Decoder d = Over(b);
  ByteChain* chain = nullptr;
  const uint32_t tag = d.ReadTag();
  EXPECT_FALSE(d.StoreUnknownField(tag, &chain));
  EXPECT_EQ(chain, nullptr);
}

TEST(DecoderTest, NegativeLengthGivesAnEmptyInput) {
  const uint8_t byte = 0x08;
  Decoder d(&byte, -5);
  EXPECT_TRUE(d.AtEnd());
  EXPECT_EQ(d.ReadTag(), 0u);
}

// Writes with both forms; checks they agree and returns the bytes.
template <typename ToArray, typename ToChain>
std::string WriteBoth(ToArray to_array, ToChain to_chain) {
  uint8_t buffer[64];
  const uint8_t* end = to_array(buffer);
  ByteChain chain;
  to_chain(&chain);
  const std::string flat(reinterpret_cast<const char*>(buffer), static_cast<size_t>(end - buffer));
  EXPECT_EQ(flat, ChainBytes(chain));
  return flat;
}

TEST(WireWriterTest, VarintsAreShortestAndSizedCorrectly) {
  for (uint64_t v : {uint64_t{0}, uint64_t{127}, uint64_t{128}, uint64_t{16383}, uint64_t{16384},
                     uint64_t{0xFFFFFFFF}, uint64_t{1} << 35, ~uint64_t{0}}) {
    const std::string bytes = WriteBoth([&](uint8_t* o) { return WriteVarint64ToArray(v, o); },
                                        [&](ByteChain* c) { WriteVarint64(v, c); });
    EXPECT_EQ(static_cast<int32_t>(bytes.size()), Varint64Size(v)) << v;
    EXPECT_LT(static_cast<uint8_t>(bytes.back()), 0x80) << v;
    if (bytes.size() > 1) {
      EXPECT_NE(bytes.back(), 0) << "non-shortest form for " << v;
    }
    if (v <= 0xFFFFFFFF) {
      const uint32_t v32 = static_cast<uint32_t>(v);
      EXPECT_EQ(bytes, WriteBoth([&](uint8_t* o) { return WriteVarint32ToArray(v32, o); },
                                 [&](ByteChain* c) { WriteVarint32(v32, c); }));
      EXPECT_EQ(Varint32Size(v32), Varint64Size(v));
    }
  }
}

TEST(WireWriterTest, FieldsHaveTheirWireLayout) {
  EXPECT_EQ(WriteBoth([](uint8_t* o) { return WriteBoolFieldToArray(2, true, o); },
                      [](ByteChain* c) { WriteBoolField(2, true, c); }),
            std::string("\x10\x01", 2));
  EXPECT_EQ(WriteBoth([](uint8_t* o) { return WriteFixed32FieldToArray(3, 8080, o); },
                      [](ByteChain* c) { WriteFixed32Field(3, 8080, c); }),
            std::string("\x1D\x90\x1F\x00\x00", 5));
  // A negative int32 is sign-extended to ten bytes.
  EXPECT_EQ(WriteBoth([](uint8_t* o) { return WriteInt32FieldToArray(12, -1, o); },
                      [](ByteChain* c) { WriteInt32Field(12, -1, c); }),
            std::string("\x60\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01", 11));
  EXPECT_EQ(Int32FieldSize(12, -1), 11);
  EXPECT_EQ(WriteBoth([](uint8_t* o) { return WriteInt64FieldToArray(16, 300, o); },
                      [](ByteChain* c) { WriteInt64Field(16, 300, c); }),
            std::string("\x80\x01\xAC\x02", 4));
  EXPECT_EQ(WriteBoth([](uint8_t* o) { return WriteDoubleFieldToArray(8, 1.5, o); },
                      [](ByteChain* c) { WriteDoubleField(8, 1.5, c); }),
            std::string("\x41\x00\x00\x00\x00\x00\x00\xF8\x3F", 9));
}

TEST(WireWriterTest, StringFieldsWriteLengthThenBytesAndNullAsEmpty) {
  const std::string host(200, 'h');
  uint8_t buffer[256];
  uint8_t* end = WriteStringFieldToArray(2, &host, buffer);
  ASSERT_EQ(end - buffer, 203);
  EXPECT_EQ(StringFieldSize(2, &host), 203);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "\x12\xC8\x01");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 3, 200), host);
  ByteChain chain;
  WriteStringField(2, &host, &chain);
  EXPECT_EQ(ChainBytes(chain), std::string(reinterpret_cast<char*>(buffer), 203));

  EXPECT_EQ(WriteBoth([](uint8_t* o) { return WriteStringFieldToArray(4, nullptr, o); },
                      [](ByteChain* c) { WriteStringField(4, nullptr, c); }),
            std::string("\x22\x00", 2));
  EXPECT_EQ(StringFieldSize(4, nullptr), 2);
}

}  // namespace
