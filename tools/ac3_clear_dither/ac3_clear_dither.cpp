// ac3_clear_dither: copies an AC-3 stream with every dithflag bit set to 0
// and both CRC words recomputed, so that decoders agree exactly on bins
// without bits (each decoder fills them with its own random numbers).
//
//   ac3_clear_dither IN.ac3 OUT.ac3
//
// The bit positions come from parsing each frame with the program's own
// decoder. Exit status 0 ok, 1 failure, 2 usage.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "ac3/ac3_decoder.h"
#include "ac3/ac3_state.h"

namespace {

// CRC-16 with generator x^16 + x^15 + x^2 + 1, most significant bit first.
uint16_t Crc16(const uint8_t* p, size_t n, uint16_t crc = 0) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= static_cast<uint16_t>(p[i] << 8);
    for (int b = 0; b < 8; ++b) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x8005 : crc << 1);
  }
  return crc;
}

// crc1 sits at the start of the first 5/8 of the frame and must make the
// CRC of that part zero. The CRC is linear in crc1, so the value is found
// from the 16 basis responses.
uint16_t SolveCrc1(std::vector<uint8_t> part) {
  part[0] = part[1] = 0;
  const uint16_t target = Crc16(part.data(), part.size());
  uint16_t basis[16];
  for (int bit = 0; bit < 16; ++bit) {
    std::vector<uint8_t> probe(part.size(), 0);
    probe[0] = static_cast<uint8_t>((1u << bit) >> 8);
    probe[1] = static_cast<uint8_t>((1u << bit) & 0xFF);
    basis[bit] = Crc16(probe.data(), probe.size());
  }
  for (uint32_t value = 0; value < 0x10000; ++value) {
    uint16_t response = 0;
    for (int bit = 0; bit < 16; ++bit)
      if (value >> bit & 1) response ^= basis[bit];
    if (response == target) return static_cast<uint16_t>(value);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ac3_clear_dither IN.ac3 OUT.ac3\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ac3_clear_dither: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Ac3Reset(false);
  static Q24 left[AC3_FRAME_SAMPLES], right[AC3_FRAME_SAMPLES];
  size_t pos = 0, frames = 0;
  while (pos + 5 <= s.size()) {
    if (s[pos] != 0x0B || s[pos + 1] != 0x77 || (s[pos + 4] & 0xC0) || ((s[pos + 4] >> 1) & 0x1F) >= 19) {
      ++pos;
      continue;
    }
    const size_t bytes = 2 * Ac3FrameWords48k(s[pos + 4] & 0x3F);
    if (pos + bytes > s.size()) break;
    uint8_t* frame = s.data() + pos;
    if (Ac3DecodeFrame(frame + 5, static_cast<uint32_t>(bytes - 5), left, right) != 6) {
      std::fprintf(stderr, "ac3_clear_dither: frame at %zu does not decode\n", pos);
      return 1;
    }
    for (auto& row : Ac3Decoder.dithflagBitOffset)
      for (int32_t bit : row) {
        if (bit < 0) continue;
        const size_t at = 5 + static_cast<size_t>(bit) / 8;
        frame[at] = static_cast<uint8_t>(frame[at] & ~(0x80 >> (bit % 8)));
      }
    const size_t words = bytes / 2;
    const size_t split = 2 * ((words >> 1) + (words >> 3));  // 5/8 of the frame
    std::vector<uint8_t> first(frame + 2, frame + split);
    const uint16_t crc1 = SolveCrc1(first);
    frame[2] = static_cast<uint8_t>(crc1 >> 8);
    frame[3] = static_cast<uint8_t>(crc1);
    const uint16_t crc2 = Crc16(frame + split, bytes - split - 2);
    frame[bytes - 2] = static_cast<uint8_t>(crc2 >> 8);
    frame[bytes - 1] = static_cast<uint8_t>(crc2);
    pos += bytes;
    ++frames;
  }
  if (frames == 0) {
    std::fprintf(stderr, "ac3_clear_dither: no AC-3 frame in %s\n", argv[1]);
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "ac3_clear_dither: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
