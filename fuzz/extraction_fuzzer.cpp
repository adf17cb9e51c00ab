// A whole extraction of a title built from the input, written to a scratch
// file.
//
// Control bytes: [0] bit 0: the rest is a list of building steps (else raw
// stream bytes), bit 1: PCM stream (else AC-3), bit 2: dynamic range
// compression, bit 3: the real Layer II encoder (else a fast stand-in),
// bit 4: sub-stream 1 (else 0); [1] padding packs before the stream, [2..3]
// where it is cut into a second part (x16 bytes, 0 = one part), [4] the
// listed size in MB.
//
// Building steps, each a step byte and its arguments, build packs the way a
// DVD holds them: navigation packs with or without system header and in or
// out of interleaved (angle) blocks, video packs with GOP and picture
// headers, audio packs of the chosen and other streams with bytes from the
// input, backward clock steps, end codes and raw bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "extract/title_selection.h"
#include "fuzz/extraction_support.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/program_stream.h"

namespace {

constexpr uint32_t PACK_SCR_STEP = 147;
constexpr size_t MAX_STEPS = 200;

std::vector<uint8_t> TakeBytes(FuzzBytes& input, size_t n) {
  n = std::min(n, input.size);
  std::vector<uint8_t> bytes(input.data, input.data + n);
  input.data += n;
  input.size -= n;
  return bytes;
}

// A GOP header (optional) and a picture header with the temporal reference
// and coding type given, followed by slice-like filler.
std::vector<uint8_t> PictureData(bool gop, uint16_t temporalReference, uint8_t codingType, size_t filler) {
  std::vector<uint8_t> es;
  if (gop) es.insert(es.end(), {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40});
  es.insert(es.end(), {0x00, 0x00, 0x01, 0x00, static_cast<uint8_t>(temporalReference >> 2),
                       static_cast<uint8_t>((temporalReference & 3) << 6 | (codingType & 7) << 3), 0xFF, 0xF8});
  es.insert(es.end(), {0x00, 0x00, 0x01, 0x01});
  es.insert(es.end(), filler, 0x55);
  return es;
}

// Appends one building step; false when it only moved the clock.
bool BuildStep(testps::ProgramStream& s, FuzzBytes& input, uint32_t& scr, uint8_t subStreamId) {
  uint8_t op = input.Byte();
  uint8_t arg = input.Byte();
  testps::PesTimes times;
  if (arg & 0x80) times.pts = scr + 40000 + (arg & 0x3F) * 900;
  switch (op % 10) {
    case 0:  // navigation pack: VOB id, interleaved unit, system header
      s.NavPack(scr, arg & 3, (arg & 4) != 0, (arg & 8) == 0, (arg & 16) ? 0 : testps::DVD_MUX_RATE);
      break;
    case 1: {  // video pack with a picture
      size_t room = testps::ProgramStream::PesPayloadRoom(times) - 20;
      uint16_t temporalReference = input.Byte() & 0x3F;
      size_t filler = std::min<size_t>(room, input.Byte() * 8u);
      s.VideoPack(scr, PictureData((arg & 0x40) != 0, temporalReference, 1 + (arg & 3), filler), times);
      break;
    }
    case 2: {  // video pack of input bytes
      size_t n = std::min<size_t>(input.Byte() * 8u + 1, testps::ProgramStream::PesPayloadRoom(times));
      s.VideoPack(scr, TakeBytes(input, n), times, (arg & 0x40) ? 0xE1 : 0xE0);
      break;
    }
    case 3:
    case 4: {  // audio pack of the chosen stream (or its neighbour) with input bytes
      size_t header = (subStreamId & 0xF0) == 0xA0 ? 7 : 4;
      size_t room = testps::ProgramStream::PesPayloadRoom(times) - header;
      std::vector<uint8_t> audio = TakeBytes(input, std::min<size_t>(input.Word() % 2048 + 1, room));
      s.AudioPack(scr, (arg & 0x40) ? static_cast<uint8_t>(subStreamId ^ 1) : subStreamId, audio, times);
      break;
    }
    case 5:  // the input clock steps back
      scr -= std::min<uint32_t>(scr, (arg & 0x7F) * 3600u);
      return false;
    case 6:  // raw bytes: corrupt records of any kind
      s.Raw(TakeBytes(input, arg));
      break;
    case 7:
      s.EndCode();
      break;
    case 8:
      s.PaddingPack(scr);
      break;
    case 9:  // MPEG audio, or private stream 1 of another sub-stream
      s.MpegAudioPack(scr, (arg & 1) ? 0xBD : 0xC0, TakeBytes(input, arg), times);
      break;
  }
  return true;
}

std::vector<uint8_t> BuildStream(FuzzBytes& input, uint8_t subStreamId) {
  testps::ProgramStream s;
  uint32_t scr = 0;
  for (size_t step = 0; step < MAX_STEPS && input.size > 0; step++) {
    // After raw bytes a step may not fit the rest of the pack: it then
    // leaves its pack header behind, one more kind of damage.
    try {
      if (!BuildStep(s, input, scr, subStreamId)) continue;
    } catch (const std::logic_error&) {
    }
    scr += PACK_SCR_STEP;
  }
  return s.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzInit();
  ExtractionFuzzInit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes input{data, size};
  uint8_t flags = input.Byte();
  size_t paddingPacks = input.Byte() % 40;
  size_t cut = static_cast<size_t>(input.Word()) * 16;
  int32_t sizeMB = input.Byte() % 4;

  bool pcm = (flags & 2) != 0;
  uint8_t subStreamId = static_cast<uint8_t>((pcm ? 0xA0 : 0x80) + ((flags >> 4) & 1));
  std::vector<uint8_t> stream = PaddingPacks(paddingPacks);
  if (flags & 1) {
    std::vector<uint8_t> built = BuildStream(input, subStreamId);
    stream.insert(stream.end(), built.begin(), built.end());
  } else {
    stream.insert(stream.end(), input.data, input.data + input.size);
  }
  std::vector<std::vector<uint8_t>> parts;
  if (cut > 0 && cut < stream.size()) {
    parts.emplace_back(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    parts.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end());
  } else {
    parts.push_back(std::move(stream));
  }
  WriteScratchTitle(1, parts);
  RunScratchExtraction({pcm ? STREAM_KIND_PCM : STREAM_KIND_AC3, subStreamId, (flags & 4) != 0, sizeMB,
                        (flags & 8) != 0});
  return 0;
}
