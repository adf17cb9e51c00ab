#include "tools/mp2enc/wav_reader.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint16_t WAV_FORMAT_EXTENSIBLE = 0xFFFE;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

bool ReadExactly(std::FILE* file, void* buffer, size_t size) {
  return std::fread(buffer, 1, size, file) == size;
}

// Bytes from the current position to the end of the file.
bool RemainingBytes(std::FILE* file, uint64_t& remaining) {
  long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return false;
  long end = std::ftell(file);
  if (end < here || std::fseek(file, here, SEEK_SET) != 0) return false;
  remaining = static_cast<uint64_t>(end - here);
  return true;
}

bool ParseFmt(const uint8_t* fmt, uint32_t size, WavInfo& info, std::string& error) {
  if (size < 16) {
    error = "fmt chunk too short";
    return false;
  }
  info.format = Le16(fmt);
  info.channels = Le16(fmt + 2);
  info.sampleRate = Le32(fmt + 4);
  info.blockAlign = Le16(fmt + 12);
  info.bitsPerSample = Le16(fmt + 14);
  if (info.format == WAV_FORMAT_EXTENSIBLE) {
    if (size < 40) {
      error = "extensible fmt chunk too short";
      return false;
    }
    info.format = Le16(fmt + 24);  // first two bytes of the sub-format GUID
  }
  if (info.format != WAV_FORMAT_PCM && info.format != WAV_FORMAT_FLOAT) {
    error = "sample format " + std::to_string(info.format) + " is neither PCM nor IEEE float";
    return false;
  }
  if (info.channels != 2) {
    error = std::to_string(info.channels) + " channels; only stereo is encoded";
    return false;
  }
  if (info.sampleRate != 48000) {
    error = "sample rate " + std::to_string(info.sampleRate) + " Hz; only 48000 Hz is encoded";
    return false;
  }
  bool pcm16 = info.format == WAV_FORMAT_PCM && info.bitsPerSample == 16;
  bool float32 = info.format == WAV_FORMAT_FLOAT && info.bitsPerSample == 32;
  if (!pcm16 && !float32) {
    error = std::to_string(info.bitsPerSample) + "-bit samples; only 16-bit PCM and 32-bit float are encoded";
    return false;
  }
  if (info.blockAlign != info.channels * info.bitsPerSample / 8) {
    error = "block size " + std::to_string(info.blockAlign) + " does not match the sample format";
    return false;
  }
  return true;
}

}  // namespace

bool ReadWavHeader(std::FILE* file, WavInfo& info, std::string& error) {
  info = WavInfo{};
  uint8_t riff[12];
  if (!ReadExactly(file, riff, sizeof riff)) {
    error = "file too short for a RIFF header";
    return false;
  }
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
    error = "not a RIFF WAVE file";
    return false;
  }
  bool haveFmt = false;
  for (;;) {
    uint8_t chunk[8];
    if (!ReadExactly(file, chunk, sizeof chunk)) {
      error = haveFmt ? "no data chunk" : "no fmt chunk";
      return false;
    }
    uint32_t size = Le32(chunk + 4);
    uint64_t remaining = 0;
    if (!RemainingBytes(file, remaining)) {
      error = "file cannot be positioned";
      return false;
    }
    if (size > remaining) {
      error = std::string("chunk '") + std::string(reinterpret_cast<char*>(chunk), 4) + "' of " +
              std::to_string(size) + " bytes runs past the end of the file";
      return false;
    }
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (haveFmt) {
        error = "second fmt chunk";
        return false;
      }
      uint8_t fmt[40] = {};
      uint32_t wanted = size < sizeof fmt ? size : static_cast<uint32_t>(sizeof fmt);
      if (!ReadExactly(file, fmt, wanted)) {
        error = "fmt chunk truncated";
        return false;
      }
      if (!ParseFmt(fmt, size, info, error)) return false;
      haveFmt = true;
      size -= wanted;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFmt) {
        error = "data chunk before the fmt chunk";
        return false;
      }
      if (size % info.blockAlign != 0) {
        error = "data chunk of " + std::to_string(size) + " bytes holds a partial sample frame";
        return false;
      }
      info.dataSize = size;
      return true;
    }
    // Skip the rest of the chunk and its pad byte.
    uint64_t skip = static_cast<uint64_t>(size) + (Le32(chunk + 4) & 1);
    if (skip > remaining) skip = remaining;
    if (std::fseek(file, static_cast<long>(skip), SEEK_CUR) != 0) {
      error = "file cannot be positioned";
      return false;
    }
  }
}

namespace {

Q24 FloatToQ24(float x) {
  if (std::isnan(x)) return 0;
  double scaled = static_cast<double>(x) * Q24_ONE;
  if (scaled >= 2147483647.0) return INT32_MAX;
  if (scaled <= -2147483648.0) return INT32_MIN;
  return static_cast<Q24>(scaled);
}

}  // namespace

void WavToQ24(const WavInfo& info, const uint8_t* bytes, size_t count, Q24* left, Q24* right) {
  for (size_t i = 0; i < count; i++) {
    const uint8_t* frame = bytes + i * info.blockAlign;
    if (info.format == WAV_FORMAT_PCM) {
      left[i] = static_cast<int16_t>(Le16(frame)) * 512;
      right[i] = static_cast<int16_t>(Le16(frame + 2)) * 512;
    } else {
      uint32_t l = Le32(frame);
      uint32_t r = Le32(frame + 4);
      float lf;
      float rf;
      std::memcpy(&lf, &l, sizeof lf);
      std::memcpy(&rf, &r, sizeof rf);
      left[i] = FloatToQ24(lf);
      right[i] = FloatToQ24(rf);
    }
  }
}
