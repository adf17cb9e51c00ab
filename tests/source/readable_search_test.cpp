#include <gtest/gtest.h>

#include <cmath>

#include "source/readable_search.h"

namespace {

constexpr uint32_t BLOCK = 2048;

// Over unreadable areas of any length and place the search lands on the
// first readable block after the area (or the end), in a number of probes
// that grows with the logarithm of the area's length.
TEST(ReadableSearch, FindsTheEndOfAnUnreadableAreaInLogarithmicallyManyProbes) {
  const uint32_t end = 4096 * BLOCK;
  for (uint32_t from : {0u, 7 * BLOCK}) {
    for (uint32_t blocks : {0u, 1u, 2u, 3u, 5u, 128u, 1000u, 3000u, 4096u}) {
      const uint32_t areaEnd = std::min(end, from + blocks * BLOCK);
      int probes = 0;
      const uint32_t found = NextReadableBlock(from, end, [&](uint32_t at) {
        ++probes;
        EXPECT_EQ(at % BLOCK, 0u);
        return at < from || at >= areaEnd;
      });
      EXPECT_EQ(found, areaEnd) << from << " " << blocks;
      EXPECT_LE(probes, 3 + 2 * static_cast<int>(std::log2(blocks + 1))) << blocks;
    }
  }
  // A part whose last block is short still ends the search at that block.
  EXPECT_EQ(NextReadableBlock(0, 10 * BLOCK + 100, [](uint32_t at) { return at >= 10 * BLOCK; }), 10 * BLOCK);
}

}  // namespace
