#include "app/audio_choice.h"

#include "app/stream_selector.h"

namespace {

constexpr AudioFormat FORMATS[] = {AudioFormat::Ac3, AudioFormat::Pcm, AudioFormat::Dts, AudioFormat::Mpeg};

std::vector<SelectorKind> AudioKinds() {
  std::vector<SelectorKind> kinds;
  for (AudioFormat format : FORMATS) kinds.push_back(SelectorKind{FormatKey(format), MaxStreamIndex(format)});
  return kinds;
}

bool FromSelector(const StreamSelector& selector, AudioChoice& choice) {
  if (selector.mode == "copy") choice.mode = AudioMode::Copy;
  else if (selector.mode == "mp2") choice.mode = AudioMode::Mp2;
  else if (!selector.mode.empty()) return false;
  choice.pick = selector.pick == SelectorPick::All        ? AudioPick::All
                : selector.pick == SelectorPick::Language ? AudioPick::Language
                                                          : AudioPick::Stream;
  choice.language = selector.language;
  choice.index = selector.index;
  for (AudioFormat format : FORMATS)
    if (selector.kind == FormatKey(format)) choice.format = format;
  return true;
}

StreamSelector ToSelector(const AudioChoice& choice) {
  StreamSelector selector;
  selector.pick = choice.pick == AudioPick::All        ? SelectorPick::All
                  : choice.pick == AudioPick::Language ? SelectorPick::Language
                                                       : SelectorPick::Stream;
  selector.kind = FormatKey(choice.format);
  selector.index = choice.index;
  selector.language = choice.language;
  if (choice.mode == AudioMode::Copy) selector.mode = "copy";
  if (choice.mode == AudioMode::Mp2) selector.mode = "mp2";
  return selector;
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
  std::vector<StreamSelector> selectors;
  std::string badItem;
  bool parsed = ParseStreamSelectors(text, AudioKinds(), true, selectors, badItem);
  for (size_t i = 0; parsed && i < selectors.size(); ++i) {
    AudioChoice choice;
    parsed = FromSelector(selectors[i], choice);
    if (!parsed) badItem = FormatStreamSelector(selectors[i]);
    choices.push_back(choice);
  }
  if (parsed) return true;
  error = "\"" + badItem + "\" is not an audio stream: name one as scan lists it (ac3:K, pcm:K, dts:K with K = "
          "0..7, mpeg:K with K = 0..31), a language code (en) or all, optionally followed by =copy or =mp2";
  choices.clear();
  return false;
}

std::string FormatAudioChoice(const AudioChoice& choice) { return FormatStreamSelector(ToSelector(choice)); }

std::string FormatAudioChoices(const std::vector<AudioChoice>& choices) {
  std::string text;
  for (const AudioChoice& choice : choices) text += (text.empty() ? "" : ",") + FormatAudioChoice(choice);
  return text;
}
