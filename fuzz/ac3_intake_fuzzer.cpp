// The audio intake through the extraction driver: the input's bytes are the
// audio of the chosen stream, cut into private stream 1 packets of sizes the
// input chooses, so that sync words, frame headers and frames fall across
// packet boundaries in every way.
//
// Control bytes: [0] bit 0: LPCM (else AC-3), bit 1: dynamic range
// compression, bit 2: a GOP and picture come first (audio aligned to video,
// else pre-roll), bit 3: the first audio packet has no PTS; [1] the number
// of packet sizes n (1..16); [2..n+1] the sizes (x8 bytes, plus 1). The rest
// is the audio, cut by the sizes in turn.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "extract/title_selection.h"
#include "fuzz/extraction_support.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/program_stream.h"

namespace {

constexpr uint32_t PACK_SCR_STEP = 147;
constexpr uint32_t FIRST_PTS_IN = 48600;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzInit();
  ExtractionFuzzInit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes input{data, size};
  uint8_t flags = input.Byte();
  size_t sizeCount = input.Byte() % 16 + 1;
  std::vector<size_t> sizes;
  for (size_t i = 0; i < sizeCount; i++) sizes.push_back(input.Byte() * 8u + 1);

  bool pcm = (flags & 1) != 0;
  uint8_t subStreamId = pcm ? 0xA0 : 0x80;
  size_t header = pcm ? 7 : 4;
  testps::ProgramStream s;
  uint32_t scr = 0;
  s.NavPack(scr);
  scr += PACK_SCR_STEP;
  if (flags & 4) {
    testps::PesTimes times;
    times.pts = FIRST_PTS_IN;
    s.VideoPack(scr, {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40, 0x00, 0x00, 0x01, 0x00, 0x00, 0x08, 0xFF, 0xF8},
                times);
    scr += PACK_SCR_STEP;
  }
  for (size_t packet = 0; input.size > 0; packet++) {
    testps::PesTimes times;
    if (packet > 0 || (flags & 8) == 0) times.pts = FIRST_PTS_IN + static_cast<uint32_t>(packet) * 2880;
    size_t room = testps::ProgramStream::PesPayloadRoom(times) - header;
    size_t n = std::min({sizes[packet % sizes.size()], room, input.size});
    s.AudioPack(scr, subStreamId, std::vector<uint8_t>(input.data, input.data + n), times);
    input.data += n;
    input.size -= n;
    scr += PACK_SCR_STEP;
  }
  WriteScratchTitle(1, {s.bytes()});
  RunScratchExtraction({pcm ? STREAM_KIND_PCM : STREAM_KIND_AC3, subStreamId, (flags & 2) != 0, 1, false});
  return 0;
}
