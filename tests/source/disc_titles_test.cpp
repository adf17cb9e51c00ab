// The checks of programme chains read from IFO files and the cells a walk of
// chapters and angles reads.
#include <gtest/gtest.h>

#include "source/disc_titles.h"

namespace {

DiscCell Cell(uint32_t first, uint32_t last, uint8_t mode = CELL_NOT_IN_BLOCK) {
  return DiscCell{first, last, mode, mode == CELL_NOT_IN_BLOCK ? uint8_t{0} : CELL_BLOCK_ANGLE, 1.0};
}

// Chapter 1: cell 0; chapter 2: an angle block of three cells, then cell 4.
DiscTitle AngleTitle() {
  DiscTitle title;
  title.number = 1;
  title.angles = 3;
  DiscChain chain;
  chain.cells = {Cell(0, 9), Cell(10, 19, CELL_BLOCK_FIRST), Cell(20, 29, CELL_BLOCK_MIDDLE),
                 Cell(30, 39, CELL_BLOCK_LAST), Cell(40, 49)};
  chain.programStart = {0, 1};
  title.chains = {chain};
  title.chapters = {DiscChapter{1, 0, 1, 0, 0}, DiscChapter{2, 1, 2, 0, 1}};
  return title;
}

TEST(DiscTitlesTest, DamagedChainsAreRefused) {
  std::string problem;
  DiscChain chain = AngleTitle().chains[0];
  EXPECT_TRUE(CheckChain(chain, 50, problem)) << problem;
  EXPECT_FALSE(CheckChain(chain, 49, problem));  // the last cell lies past the VOBs
  EXPECT_EQ(problem, "a cell lies beyond the title set's VOB files");

  DiscChain looping = chain;
  looping.programStart = {1, 0};
  EXPECT_FALSE(CheckChain(looping, 50, problem));
  DiscChain missing = chain;
  missing.programStart = {0, 5};
  EXPECT_FALSE(CheckChain(missing, 50, problem));
  DiscChain open = chain;
  open.cells[3].blockMode = CELL_BLOCK_MIDDLE;  // the block never closes
  EXPECT_FALSE(CheckChain(open, 50, problem));
  DiscChain stray = chain;
  stray.cells[0].blockMode = CELL_BLOCK_LAST;
  EXPECT_FALSE(CheckChain(stray, 50, problem));
  EXPECT_FALSE(CheckChain(DiscChain{}, 50, problem));
}

TEST(DiscTitlesTest, PlansTakeTheChaptersAndTheAngleAsked) {
  const DiscTitle title = AngleTitle();
  std::vector<SectorRange> plan;
  std::string error;
  ASSERT_TRUE(DiscTitlePlan(title, 1, 2, 1, plan, error)) << error;
  // Cell 0 and angle 1's cell follow one another on the disc: one range.
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].first, 0u);
  EXPECT_EQ(plan[0].last, 19u);
  EXPECT_EQ(plan[1].first, 40u);
  ASSERT_TRUE(DiscTitlePlan(title, 2, 2, 3, plan, error)) << error;
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].first, 30u);
  EXPECT_EQ(plan[0].last, 49u);
  EXPECT_EQ(PlanBytes(plan), 20u * 2048);

  EXPECT_FALSE(DiscTitlePlan(title, 2, 3, 1, plan, error));
  EXPECT_EQ(error, "disc title 1 has chapters 1 to 2");
  EXPECT_FALSE(DiscTitlePlan(title, 1, 1, 4, plan, error));
  EXPECT_EQ(error, "disc title 1 has 3 angles");
}

TEST(DiscTitlesTest, PlaybackTimesAreBcdWithTheFrameRate) {
  EXPECT_DOUBLE_EQ(PlaybackSeconds(0x01, 0x32, 0x10, 0x40 | 0x12), 5530.48);  // 25 fps, 12 frames
  EXPECT_NEAR(PlaybackSeconds(0, 0, 1, 0xC0 | 0x15), 1 + 15 / 29.97, 1e-9);  // 30 fps, 15 frames
}

}  // namespace
