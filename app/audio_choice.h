// The audio tracks of an extraction as the user names them: one parser and
// one formatter of the stream selectors every front end uses.
//
//   ac3:0  pcm:1  dts:0  mpeg:0   a stream, as scan lists it
//   en                            every track of that language (IFO files)
//   all                           every track of the title
// each optionally followed by "=copy" (kept as the disc has it) or "=mp2"
// (decoded and re-encoded as Layer II), comma-separated in output order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class AudioFormat : uint8_t { Ac3, Pcm, Dts, Mpeg };

enum class AudioMode : uint8_t {
  Default,  // as the job's default: re-encoded, or kept with --keep-audio
  Copy,
  Mp2,
};

enum class AudioPick : uint8_t { Stream, Language, All };

struct AudioChoice {
  AudioPick pick = AudioPick::Stream;
  AudioFormat format = AudioFormat::Ac3;  // Stream
  int index = 0;                          // Stream: the K of "ac3:K"
  std::string language;                   // Language: ISO 639-1, lower case
  AudioMode mode = AudioMode::Default;
};

// Highest K of a stream name: eight streams of each private kind, 32 MPEG.
int MaxStreamIndex(AudioFormat format);

// "ac3", "pcm", "dts", "mpeg".
const char* FormatKey(AudioFormat format);

// "AC3", "PCM", "DTS", "MPEG": as the title list and the IFO files name it.
const char* FormatLabel(AudioFormat format);

// The sub-stream id (private stream 1) or stream id (MPEG audio) on the disc.
uint8_t DiscStreamId(AudioFormat format, int index);

// "ac3:0" and the like.
std::string StreamName(AudioFormat format, int index);

// Parses a comma-separated list. False with a sentence in error (which
// names the faulty item) when an item is not a selector.
bool ParseAudioChoices(const std::string& text, std::vector<AudioChoice>& choices, std::string& error);

// The text that parses back to the same choices.
std::string FormatAudioChoices(const std::vector<AudioChoice>& choices);
std::string FormatAudioChoice(const AudioChoice& choice);
