// The flat-buffer and chain writers produce the same, shortest encodings, and the
// size helpers predict them.
#include "net/proto/wire_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "net/proto/byte_chain.h"

namespace {

std::string FromChain(const ByteChain& chain) {
  std::string out(static_cast<size_t>(chain.size()), '\0');
  chain.CopyTo(reinterpret_cast<uint8_t*>(&out[0]));
  return out;
}

// Writes with both forms; checks they agree and returns the bytes.
template <typename ToArray, typename ToChain>
std::string WriteBoth(ToArray to_array, ToChain to_chain) {
  uint8_t buffer[64];
  const uint8_t* end = to_array(buffer);
  ByteChain chain;
  to_chain(&chain);
  const std::string flat(reinterpret_cast<const char*>(buffer), static_cast<size_t>(end - buffer));
  EXPECT_EQ(flat, FromChain(chain));
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
  EXPECT_EQ(FromChain(chain), std::string(reinterpret_cast<char*>(buffer), 203));

  EXPECT_EQ(WriteBoth([](uint8_t* o) { return WriteStringFieldToArray(4, nullptr, o); },
                      [](ByteChain* c) { WriteStringField(4, nullptr, c); }),
            std::string("\x22\x00", 2));
  EXPECT_EQ(StringFieldSize(4, nullptr), 2);
}

}  // namespace
