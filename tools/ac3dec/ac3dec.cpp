// ac3dec: decodes an AC-3 elementary stream (48 kHz frames) to a stereo WAV
// file with the program's own decoder and its fixed downmix.
//
//   ac3dec IN.ac3 OUT.wav [--drc] [--verbose] [--s16]
//
// Output: 32-bit float samples (Q24 / 2^24, not clipped), or 16-bit with
// clipping when --s16 is given. Exit status 0 ok, 1 failure, 2 usage.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ac3/ac3_decoder.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "source/vob_reader.h"

namespace {

struct Options {
  std::string input, output;
  bool drc = false, verbose = false, s16 = false;
};

bool ParseOptions(int argc, char** argv, Options* o) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--drc") o->drc = true;
    else if (a == "--verbose") o->verbose = true;
    else if (a == "--s16") o->s16 = true;
    else if (a.size() > 1 && a[0] == '-') return false;
    else files.push_back(a);
  }
  if (files.size() != 2) return false;
  o->input = files[0];
  o->output = files[1];
  return true;
}

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> WavHeader(uint32_t frames, bool s16) {
  const uint32_t bytesPerSample = s16 ? 2 : 4;
  const uint32_t dataBytes = frames * 2 * bytesPerSample;
  std::vector<uint8_t> h;
  auto tag = [&](const char* t) { h.insert(h.end(), t, t + 4); };
  tag("RIFF");
  PutLe(h, 36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  PutLe(h, 16, 4);
  PutLe(h, s16 ? 1 : 3, 2);  // PCM or IEEE float
  PutLe(h, 2, 2);
  PutLe(h, 48000, 4);
  PutLe(h, 48000 * 2 * bytesPerSample, 4);
  PutLe(h, 2 * bytesPerSample, 2);
  PutLe(h, 8 * bytesPerSample, 2);
  tag("data");
  PutLe(h, dataBytes, 4);
  return h;
}

void AppendSamples(std::vector<uint8_t>& out, const Q24* left, const Q24* right, bool s16) {
  for (int i = 0; i < AC3_FRAME_SAMPLES; ++i) {
    for (Q24 v : {left[i], right[i]}) {
      if (s16) {
        int32_t s = (v + 256) >> 9;  // round to 16 bits
        if (s > 32767) s = 32767;
        if (s < -32768) s = -32768;
        PutLe(out, static_cast<uint32_t>(s), 2);
      } else {
        float f = static_cast<float>(v) / 16777216.0f;
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutLe(out, bits, 4);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) {
    std::fprintf(stderr, "usage: ac3dec IN.ac3 OUT.wav [--drc] [--verbose] [--s16]\n");
    return 2;
  }
  std::ifstream in(o.input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ac3dec: cannot read %s: %s\n", o.input.c_str(), std::strerror(errno));
    return 1;
  }
  std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::fprintf(stderr, "ac3dec: error reading %s\n", o.input.c_str());
    return 1;
  }
  VerboseErrors = o.verbose;
  // Detail messages give the offset of the frame in the input file.
  VobReader.viewBase = stream.data();
  VobReader.viewOffset = 0;

  Ac3Reset(o.drc);
  static Q24 left[AC3_FRAME_SAMPLES], right[AC3_FRAME_SAMPLES];
  std::vector<uint8_t> samples;
  uint32_t frames = 0;
  uint16_t sync = 0;
  size_t pos = 0;
  while (pos < stream.size()) {
    sync = static_cast<uint16_t>((sync << 8) | stream[pos++]);
    if (sync != 0x0B77 || pos + 3 > stream.size()) continue;
    VobReader.current = stream.data() + pos - 2;
    const uint8_t b = stream[pos + 2];  // fscod, frmsizecod
    // A rejected frame: crc1 is passed over and the search goes on at the
    // fscod/frmsizecod byte.
    if (b & 0xC0) {
      ShowVobDetailError(IDS_INVALID_AC3_RATE);
      pos += 2;
      continue;
    }
    if (((b >> 1) & 0x1F) >= 19) {
      ShowVobDetailError(IDS_INVALID_AC3_FRMSIZE);
      pos += 2;
      continue;
    }
    const uint32_t frameBytes = 2 * Ac3FrameWords48k(b & 0x3F) - 5;
    const size_t start = pos + 3;
    if (start + frameBytes > stream.size()) {
      if (o.verbose) std::fprintf(stderr, "ac3dec: last frame is truncated and was left out\n");
      break;
    }
    Ac3DecodeFrame(stream.data() + start, frameBytes, left, right);
    AppendSamples(samples, left, right, o.s16);
    ++frames;
    pos = start + frameBytes;
    sync = 0;
  }
  if (!ReportNoAc3Found()) return 1;

  std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
  std::vector<uint8_t> header = WavHeader(frames * AC3_FRAME_SAMPLES, o.s16);
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "ac3dec: cannot write %s\n", o.output.c_str());
    return 1;
  }
  return 0;
}
