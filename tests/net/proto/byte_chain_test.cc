// Appending, copying, sharing and reuse in the chained buffer.
#include "net/proto/byte_chain.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Contents(const ByteChain& chain) {
  std::string out(static_cast<size_t>(chain.size()), '\0');
  uint8_t* end = chain.CopyTo(reinterpret_cast<uint8_t*>(&out[0]));
  EXPECT_EQ(end, reinterpret_cast<uint8_t*>(&out[0]) + out.size());
  return out;
}

std::string Pattern(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 31 + static_cast<size_t>(seed)) & 0xFF);
  return s;
}

TEST(ByteChainTest, AppendsAcrossBlockBoundariesInOrder) {
  ByteChain chain;
  std::string expected;
  for (size_t n : {1u, 1023u, 1u, 5000u, 7u}) {
    const std::string part = Pattern(n, static_cast<int>(n));
    chain.Append(part.data(), part.size());
    expected += part;
  }
  chain.AppendByte(0xAB);
  expected += '\xAB';
  EXPECT_EQ(chain.size(), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(Contents(chain), expected);
}

TEST(ByteChainTest, ClearKeepsTheChainUsable) {
  ByteChain chain;
  const std::string big = Pattern(20 * ByteChain::kBlockSize, 1);
  chain.Append(big.data(), big.size());
  const int32_t full = chain.MemoryFootprint();
  chain.Clear();
  EXPECT_TRUE(chain.empty());
  EXPECT_LT(chain.MemoryFootprint(), full);
  // Kept records and the spare area are counted, so the cleared chain is not free.
  EXPECT_GT(chain.MemoryFootprint(), static_cast<int32_t>(sizeof(ByteChain)));
  chain.Append("xyz", 3);
  EXPECT_EQ(Contents(chain), "xyz");
}

TEST(ByteChainTest, SharedBlocksStayIntactWhenEitherChainGrowsOrGoes) {
  const std::string big = Pattern(ByteChain::kBlockSize, 2);  // one full block: shared
  auto source = std::make_unique<ByteChain>();
  source->Append(big.data(), big.size());
  source->Append("tail", 4);  // a small block: copied

  ByteChain target;
  target.Append("head", 4);
  target.AppendChain(*source);
  EXPECT_EQ(Contents(target), "head" + big + "tail");

  // Growing either side must not write into the other's view.
  target.Append("more", 4);
  source->Append("src!", 4);
  EXPECT_EQ(Contents(target), "head" + big + "tail" + "more");
  EXPECT_EQ(Contents(*source), big + "tail" + "src!");

  source.reset();
  EXPECT_EQ(Contents(target), "head" + big + "tail" + "more");
}

TEST(ByteChainTest, AppendingItselfDoublesTheContent) {
  ByteChain chain;
  const std::string part = Pattern(1500, 3);
  chain.Append(part.data(), part.size());
  chain.AppendChain(chain);
  EXPECT_EQ(Contents(chain), part + part);
}

TEST(ByteChainTest, AppendingItselfCopiesAGrowingLastBlockOnlyOnce) {
  // A small block, then a last block taken over from a chain that is gone: the
  // last block is writable, so copying the small block grows it during the walk.
  ByteChain chain;
  const std::string small = Pattern(10, 4);
  const std::string large = Pattern(ByteChain::kShareThreshold, 5);
  chain.Append(small.data(), small.size());
  {
    ByteChain source;
    source.Append(large.data(), large.size());
    chain.AppendChain(source);
  }
  chain.AppendChain(chain);
  ASSERT_EQ(chain.size(), 2020);
  EXPECT_EQ(Contents(chain), small + large + small + large);
  // Both chains' views of the shared area stay intact when the chain grows.
  chain.Append("end", 3);
  EXPECT_EQ(Contents(chain), small + large + small + large + "end");
}

}  // namespace
