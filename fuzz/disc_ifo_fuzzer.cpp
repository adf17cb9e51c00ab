// The disc's title table read from IFO files made from the input, and the
// walks of the cells it names.
//
// Control bytes: [0..1] where the bytes are cut: VIDEO_TS.IFO before the
// cut, VTS_01_0.IFO after it. Title set 1's VOB (512 padding packs) is
// written once; every title the tables give is formatted, planned for each
// chapter and angle, and its plan's first packs are read through the block
// reader.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "report/run_flags.h"
#include "fuzz/fuzz_support.h"
#include "source/disc_titles.h"
#include "source/dvd_block_reader.h"
#include "source/dvd_disc.h"
#include "source/vob_reader.h"

namespace {

constexpr size_t VOB_PACKS = 512;
constexpr int PACKS_WALKED = 24;

void WriteFile(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

void WalkPlan(int titleSet, const std::vector<SectorRange>& plan) {
  DvdBlockSetPlan(titleSet, plan);
  AbortFlag = false;
  VobReader = VobReaderState{};
  VobReader.title = titleSet;
  VobReader.part = 1;
  if (VobOpenPart()) {
    uint8_t head[4];
    for (int i = 0; i < PACKS_WALKED && !VobReader.closed; ++i) {
      if (VobBytesInView() < 2048 || !VobGuardedRead(VobReader.current, sizeof head, head)) break;
      if (!VobAdvance(2048)) break;
    }
  }
  VobClose();
  DvdBlockClearPlan();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzInit();
  WriteScratchTitle(1, {PaddingPacks(VOB_PACKS)});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes input{data, size};
  size_t cut = input.Word();
  if (cut > input.size) cut = input.size;
  const std::filesystem::path folder = ScratchRoot() / "VIDEO_TS";
  WriteFile(folder / "VIDEO_TS.IFO", input.data, cut);
  WriteFile(folder / "VTS_01_0.IFO", input.data + cut, input.size - cut);

  DvdDiscRelease();
  DiscTitleTable table = ReadDiscTitles();
  for (const DiscTitle& title : table.titles) {
    (void)DiscTitleLine(title);
    const int chapters = static_cast<int>(title.chapters.size());
    for (int angle = 1; angle <= title.angles + 1; ++angle) {
      std::vector<SectorRange> plan;
      std::string error;
      for (int chapter = 1; chapter <= chapters + 1 && chapter <= 4; ++chapter)
        DiscTitlePlan(title, chapter, chapter, angle, plan, error);
      if (DiscTitlePlan(title, 1, chapters, angle, plan, error)) WalkPlan(title.titleSet, plan);
    }
  }
  return 0;
}
