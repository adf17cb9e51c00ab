// ac3dec: decodes an AC-3 elementary stream (48 kHz frames) to a stereo WAV
// file with the program's own decoder and its fixed downmix.
//
//   ac3dec IN.ac3 OUT.wav [--drc] [--verbose] [--s16]
//
// The stream is read and the WAV written frame by frame, in bounded memory.
//
// Output: 32-bit float samples (Q24 / 2^24, not clipped), or 16-bit with
// clipping when --s16 is given. Exit status 0 ok, 1 failure, 2 usage.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cerrno>
#include <cstddef>
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
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(t[i]));
  };
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

// The input read in bounded pieces: bytes [base, base + data.size()) of the
// file are in data. A whole stream in memory took hundreds of MB for a film.
struct InputWindow {
  static constexpr size_t CHUNK = 0x40000;
  std::FILE* file = nullptr;
  std::vector<uint8_t> data;
  uint64_t base = 0;
  bool ended = false;
  bool failed = false;

  // Makes the bytes [from, end) available, dropping those before from;
  // false when the file ends before end.
  bool Hold(uint64_t from, uint64_t end) {
    while (base + data.size() < end) {
      if (ended) return false;
      if (from > base) {
        const size_t drop = static_cast<size_t>(from - base);
        std::memmove(data.data(), data.data() + drop, data.size() - drop);
        data.resize(data.size() - drop);
        base = from;
      }
      const size_t kept = data.size();
      data.resize(kept + CHUNK);
      const size_t n = std::fread(data.data() + kept, 1, CHUNK, file);
      data.resize(kept + n);
      if (n < CHUNK) {
        ended = true;
        failed = std::ferror(file) != 0;
      }
    }
    return true;
  }
  const uint8_t* At(uint64_t position) const { return data.data() + (position - base); }
};

// Detail messages give the offset in the input file of the frame at position.
void PointReaderAt(const InputWindow& in, uint64_t position) {
  VobReader.viewBase = in.data.data();
  VobReader.viewOffset = static_cast<uint32_t>(in.base);
  VobReader.current = in.At(position);
}

// The WAV file, written frame by frame; its sizes are filled in at the end.
struct WavWriter {
  std::FILE* file = nullptr;
  std::vector<uint8_t> block;

  bool Open(const std::string& path, bool s16) {
    file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const std::vector<uint8_t> header = WavHeader(0, s16);
    return std::fwrite(header.data(), 1, header.size(), file) == header.size();
  }
  bool Append(const Q24* left, const Q24* right, bool s16) {
    block.clear();
    AppendSamples(block, left, right, s16);
    return std::fwrite(block.data(), 1, block.size(), file) == block.size();
  }
  bool Close(uint32_t frames, bool s16) {
    const std::vector<uint8_t> header = WavHeader(frames * AC3_FRAME_SAMPLES, s16);
    bool ok = std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), file) == header.size();
    ok = std::fclose(file) == 0 && ok;
    file = nullptr;
    return ok;
  }
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) {
    std::fprintf(stderr, "usage: ac3dec IN.ac3 OUT.wav [--drc] [--verbose] [--s16]\n");
    return 2;
  }
  InputWindow in;
  in.file = std::fopen(o.input.c_str(), "rb");
  if (in.file == nullptr) {
    std::fprintf(stderr, "ac3dec: cannot read %s: %s\n", o.input.c_str(), std::strerror(errno));
    return 1;
  }
  VerboseErrors = o.verbose;

  Ac3Reset(o.drc);
  static Q24 left[AC3_FRAME_SAMPLES], right[AC3_FRAME_SAMPLES];
  WavWriter out;  // opened with the first frame: no file when there is none
  bool written = true;
  uint32_t frames = 0;
  uint16_t sync = 0;
  uint64_t pos = 0;
  // Two bytes behind pos stay held: a frame starts at its sync word.
  while (in.Hold(pos >= 2 ? pos - 2 : 0, pos + 1)) {
    sync = static_cast<uint16_t>((sync << 8) | *in.At(pos++));
    if (sync != 0x0B77 || !in.Hold(pos - 2, pos + 3)) continue;
    PointReaderAt(in, pos - 2);
    const uint8_t b = *in.At(pos + 2);  // fscod, frmsizecod
    // A rejected frame: crc1 is passed over and the search goes on at the
    // fscod/frmsizecod byte.
    if (b & 0xC0) {
      ShowVobDetailError(IDS_INVALID_AC3_RATE);
      pos += 2;
      continue;
    }
    const uint32_t words = Ac3FrameWords48k(b);
    if (words == 0) {
      ShowVobDetailError(IDS_INVALID_AC3_FRMSIZE);
      pos += 2;
      continue;
    }
    const uint32_t frameBytes = 2 * words - 5;
    const uint64_t start = pos + 3;
    if (!in.Hold(pos - 2, start + frameBytes)) {
      if (o.verbose) std::fprintf(stderr, "ac3dec: last frame is truncated and was left out\n");
      break;
    }
    PointReaderAt(in, pos - 2);
    Ac3DecodeFrame(in.At(start), frameBytes, left, right);
    if (frames == 0 && !out.Open(o.output, o.s16)) written = false;
    if (out.file != nullptr && !out.Append(left, right, o.s16)) written = false;
    ++frames;
    pos = start + frameBytes;
    sync = 0;
  }
  const bool readFailed = in.failed;
  std::fclose(in.file);
  if (readFailed) {
    std::fprintf(stderr, "ac3dec: error reading %s\n", o.input.c_str());
    if (out.file != nullptr) out.Close(frames, o.s16);
    return 1;
  }
  if (!ReportNoAc3Found()) return 1;
  if (out.file == nullptr || !out.Close(frames, o.s16) || !written) {
    std::fprintf(stderr, "ac3dec: cannot write %s\n", o.output.c_str());
    return 1;
  }
  return 0;
}
