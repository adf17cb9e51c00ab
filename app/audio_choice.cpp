#include "app/audio_choice.h"

#include <cctype>

namespace {

bool ParseFormat(const std::string& key, AudioFormat& format) {
  for (AudioFormat candidate : {AudioFormat::Ac3, AudioFormat::Pcm, AudioFormat::Dts, AudioFormat::Mpeg}) {
    if (key == FormatKey(candidate)) {
      format = candidate;
      return true;
    }
  }
  return false;
}

bool ParseIndex(const std::string& digits, int limit, int& index) {
  if (digits.empty() || digits.size() > 2) return false;
  index = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    index = index * 10 + (c - '0');
  }
  return index <= limit && (digits.size() == 1 || digits[0] != '0');
}

bool IsLanguageCode(const std::string& text) {
  return text.size() == 2 && std::islower(static_cast<unsigned char>(text[0])) &&
         std::islower(static_cast<unsigned char>(text[1]));
}

bool ParseMode(const std::string& text, AudioMode& mode) {
  if (text == "copy") mode = AudioMode::Copy;
  else if (text == "mp2") mode = AudioMode::Mp2;
  else return false;
  return true;
}

bool ParseItem(const std::string& item, AudioChoice& choice) {
  const size_t equals = item.find('=');
  const std::string what = item.substr(0, equals);
  if (equals != std::string::npos && !ParseMode(item.substr(equals + 1), choice.mode)) return false;
  if (what == "all") {
    choice.pick = AudioPick::All;
    return true;
  }
  if (IsLanguageCode(what)) {
    choice.pick = AudioPick::Language;
    choice.language = what;
    return true;
  }
  const size_t colon = what.find(':');
  if (colon == std::string::npos || !ParseFormat(what.substr(0, colon), choice.format)) return false;
  choice.pick = AudioPick::Stream;
  return ParseIndex(what.substr(colon + 1), MaxStreamIndex(choice.format), choice.index);
}

}  // namespace

int MaxStreamIndex(AudioFormat format) { return format == AudioFormat::Mpeg ? 31 : 7; }

const char* FormatKey(AudioFormat format) {
  switch (format) {
    case AudioFormat::Ac3: return "ac3";
    case AudioFormat::Pcm: return "pcm";
    case AudioFormat::Dts: return "dts";
    case AudioFormat::Mpeg: break;
  }
  return "mpeg";
}

const char* FormatLabel(AudioFormat format) {
  switch (format) {
    case AudioFormat::Ac3: return "AC3";
    case AudioFormat::Pcm: return "PCM";
    case AudioFormat::Dts: return "DTS";
    case AudioFormat::Mpeg: break;
  }
  return "MPEG";
}

uint8_t DiscStreamId(AudioFormat format, int index) {
  static constexpr uint8_t FIRST_ID[] = {0x80, 0xA0, 0x88, 0xC0};
  return static_cast<uint8_t>(FIRST_ID[static_cast<int>(format)] + index);
}

std::string StreamName(AudioFormat format, int index) {
  return std::string(FormatKey(format)) + ":" + std::to_string(index);
}

bool ParseAudioChoices(const std::string& text, std::vector<AudioChoice>& choices, std::string& error) {
  choices.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    AudioChoice choice;
    if (!ParseItem(item, choice)) {
      error = "\"" + item + "\" is not an audio stream: name one as scan lists it (ac3:K, pcm:K, dts:K with K = "
              "0..7, mpeg:K with K = 0..31), a language code (en) or all, optionally followed by =copy or =mp2";
      choices.clear();
      return false;
    }
    choices.push_back(choice);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::string FormatAudioChoice(const AudioChoice& choice) {
  std::string text = choice.pick == AudioPick::All        ? std::string("all")
                     : choice.pick == AudioPick::Language ? choice.language
                                                          : StreamName(choice.format, choice.index);
  if (choice.mode == AudioMode::Copy) text += "=copy";
  if (choice.mode == AudioMode::Mp2) text += "=mp2";
  return text;
}

std::string FormatAudioChoices(const std::vector<AudioChoice>& choices) {
  std::string text;
  for (const AudioChoice& choice : choices) text += (text.empty() ? "" : ",") + FormatAudioChoice(choice);
  return text;
}
