// mp2enc: encodes a 48 kHz stereo WAV file into MPEG-1 Layer II frames at
// 384 kbit/s with the extraction's own encoder.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mpa/layer2_encoder.h"
#include "tools/mp2enc/wav_reader.h"

namespace {

constexpr int EXIT_USAGE = 2;

const char USAGE[] =
    "Usage: mp2enc IN.wav OUT.mp2\n"
    "Encodes a 48 kHz stereo WAV file (16-bit PCM or 32-bit float) into an\n"
    "MPEG-1 Layer II stream at 384 kbit/s. The last frame is padded with silence.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "mp2enc: %s\n", message.c_str());
  return EXIT_FAILURE;
}

int Encode(const char* inPath, const char* outPath) {
  std::FILE* in = std::fopen(inPath, "rb");
  if (!in) return Fail(std::string("cannot open ") + inPath + ": " + std::strerror(errno));
  WavInfo info;
  std::string error;
  if (!ReadWavHeader(in, info, error)) {
    std::fclose(in);
    return Fail(std::string(inPath) + ": " + error);
  }
  std::FILE* out = std::fopen(outPath, "wb");
  if (!out) {
    std::fclose(in);
    return Fail(std::string("cannot create ") + outPath + ": " + std::strerror(errno));
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(MPA_FRAME_SAMPLES) * info.blockAlign);
  Q24 left[MPA_FRAME_SAMPLES];
  Q24 right[MPA_FRAME_SAMPLES];
  uint8_t frame[MPA_FRAME_BYTES];
  uint64_t remaining = info.dataSize / info.blockAlign;
  bool ok = true;
  while (remaining > 0 && ok) {
    size_t count = remaining < MPA_FRAME_SAMPLES ? static_cast<size_t>(remaining) : MPA_FRAME_SAMPLES;
    if (std::fread(bytes.data(), info.blockAlign, count, in) != count) {
      error = std::string(inPath) + ": read failed";
      ok = false;
      break;
    }
    WavToQ24(info, bytes.data(), count, left, right);
    for (size_t i = count; i < MPA_FRAME_SAMPLES; i++) left[i] = right[i] = 0;
    EncodeFrame(left, right, frame);
    if (std::fwrite(frame, 1, sizeof frame, out) != sizeof frame) {
      error = std::string(outPath) + ": write failed";
      ok = false;
    }
    remaining -= count;
  }
  std::fclose(in);
  if (std::fclose(out) != 0 && ok) {
    error = std::string(outPath) + ": write failed";
    ok = false;
  }
  return ok ? EXIT_SUCCESS : Fail(error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(USAGE, stdout);
    return EXIT_SUCCESS;
  }
  if (argc != 3) {
    std::fputs(USAGE, stderr);
    return EXIT_USAGE;
  }
  return Encode(argv[1], argv[2]);
}
