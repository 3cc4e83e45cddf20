// Fields numbered 16 and above take tags of two (from 2048: three) bytes. Every
// field kind at such numbers is sized exactly: the writers fill a buffer of
// exactly EncodedSize() bytes (ASan reports any byte past it) and end on its end.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "net/proto/byte_chain.h"
#include "net/proto/protocol_message.h"
#include "tests/protocol/wide_numbers.h"

namespace {

// Writes into a heap buffer of exactly EncodedSize() bytes; checks the chain
// writer agrees; returns the bytes.
std::string EncodeExactly(const ProtocolMessage& m) {
  const int32_t size = m.EncodedSize();
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[static_cast<size_t>(size > 0 ? size : 1)]);
  const uint8_t* end = m.WriteToArray(buffer.get());
  EXPECT_EQ(end - buffer.get(), size);
  std::string bytes(reinterpret_cast<const char*>(buffer.get()), static_cast<size_t>(size));
  ByteChain chain;
  m.WriteToChain(&chain);
  std::string chained(static_cast<size_t>(chain.size()), '\0');
  chain.CopyTo(reinterpret_cast<uint8_t*>(&chained[0]));
  EXPECT_EQ(chained, bytes);
  return bytes;
}

WideNumbers::Entry* AddEntry(WideNumbers* m) {
  WideNumbers::Entry* entry = m->add_entry();
  entry->set_required_flag(true);
  return entry;
}

TEST(WideNumbersTest, EveryKindIsSizedWithItsOwnTagLength) {
  const struct {
    const char* what;
    std::function<void(WideNumbers*)> set;
    int32_t added;  // bytes beyond the 19 of the required fields
  } cases[] = {
      {"nothing optional", [](WideNumbers*) {}, 0},
      {"bool 16", [](WideNumbers* m) { m->set_flag(true); }, 3},
      {"fixed32 17", [](WideNumbers* m) { m->set_fixed(-5); }, 6},
      {"int32 18", [](WideNumbers* m) { m->set_small(-1); }, 12},
      {"int64 19", [](WideNumbers* m) { m->set_large(300); }, 4},
      {"double 20", [](WideNumbers* m) { m->set_real(2.5); }, 10},
      {"string 21", [](WideNumbers* m) { m->set_text("abc"); }, 6},
      {"bool 2048", [](WideNumbers* m) { m->set_far_flag(false); }, 4},
      {"double 2049", [](WideNumbers* m) { m->set_far_real(-1.0); }, 11},
      // Group 24: two-byte start and end tags; inside, two- and three-byte tags.
      {"empty entry", [](WideNumbers* m) { AddEntry(m); }, 4 + 3 + 7},
      {"entry bool 25", [](WideNumbers* m) { AddEntry(m)->set_flag(true); }, 14 + 3},
      {"entry fixed32 26", [](WideNumbers* m) { AddEntry(m)->set_fixed(7); }, 14 + 6},
      {"entry double 27", [](WideNumbers* m) { AddEntry(m)->set_real(0.5); }, 14 + 10},
      {"entry int32 28", [](WideNumbers* m) { AddEntry(m)->set_small(-7); }, 14 + 12},
      {"entry string 29", [](WideNumbers* m) { AddEntry(m)->set_text("xy"); }, 14 + 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WideNumbers m;
    c.set(&m);
    EXPECT_EQ(m.EncodedSize(), 19 + c.added);
    const std::string bytes = EncodeExactly(m);
    WideNumbers back;
    ASSERT_TRUE(ParseFromBytes(&back, reinterpret_cast<const uint8_t*>(bytes.data()),
                               static_cast<int32_t>(bytes.size())));
    EXPECT_EQ(EncodeExactly(back), bytes);
  }
}

TEST(WideNumbersTest, EverythingSetAtOnceRoundTrips) {
  WideNumbers m;
  m.set_flag(true);
  m.set_fixed(1);
  m.set_small(-100000);
  m.set_large(-2);
  m.set_real(1e300);
  m.set_text(std::string(200, 't'));
  m.set_required_flag(true);
  m.set_required_fixed(-1);
  m.set_required_real(-0.0);
  m.set_far_flag(true);
  m.set_far_real(3.25);
  for (int i = 0; i < 9; ++i) {
    WideNumbers::Entry* entry = AddEntry(&m);
    entry->set_flag(i % 2 == 0);
    entry->set_fixed(i);
    entry->set_real(i * 0.5);
    entry->set_small(-i);
    entry->set_text(std::string(static_cast<size_t>(i), 'e'));
    entry->set_required_fixed(i * 1000);
  }
  const std::string bytes = EncodeExactly(m);
  WideNumbers back;
  ASSERT_TRUE(ParseFromBytes(&back, reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<int32_t>(bytes.size())));
  EXPECT_EQ(back.far_real(), 3.25);
  EXPECT_EQ(back.small(), -100000);
  ASSERT_EQ(back.entry_size(), 9);
  EXPECT_EQ(back.entry(8).required_fixed(), 8000);
  EXPECT_EQ(back.entry(3).small(), -3);
  EXPECT_EQ(EncodeExactly(back), bytes);
}

}  // namespace
