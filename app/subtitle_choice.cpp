#include "app/subtitle_choice.h"

#include <algorithm>
#include <cctype>

#include "source/subpicture_streams.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ParseItem(const std::string& item, SubtitleChoice& choice) {
  const std::string text = Lower(item);
  if (text == "all") {
    choice.pick = SubtitlePick::All;
    return true;
  }
  if (text.rfind("sub:", 0) == 0) {
    const std::string number = text.substr(4);
    if (number.empty() || number.size() > 2 || !std::all_of(number.begin(), number.end(), ::isdigit)) return false;
    choice.pick = SubtitlePick::Stream;
    choice.logical = std::stoi(number);
    return choice.logical <= MAX_SUBPICTURE_LOGICAL;
  }
  if (text.size() == 2 && std::isalpha(static_cast<unsigned char>(text[0])) &&
      std::isalpha(static_cast<unsigned char>(text[1]))) {
    choice.pick = SubtitlePick::Language;
    choice.language = text;
    return true;
  }
  return false;
}

void AddOnce(const DiscSubpicture& stream, std::vector<SubtitleStream>& streams) {
  for (const SubtitleStream& kept : streams)
    if (kept.subStreamId == stream.subStreamId) return;
  streams.push_back(SubtitleStream{stream.subStreamId, stream.language});
}

std::string OfferedList(const std::vector<DiscSubpicture>& offered) {
  std::string list;
  for (const DiscSubpicture& stream : offered)
    list += (list.empty() ? "" : ", ") + SubpictureSelector(stream) +
            (stream.language.empty() ? "" : " (" + stream.language + ")");
  return list.empty() ? "none" : list;
}

}  // namespace

bool ParseSubtitleChoices(const std::string& text, std::vector<SubtitleChoice>& choices, std::string& error) {
  choices.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    SubtitleChoice choice;
    if (!ParseItem(item, choice)) {
      error = "\"" + item + "\" is no subtitle stream: give sub:N (N = 0.." + std::to_string(MAX_SUBPICTURE_LOGICAL) +
              "), a language code such as en, or all";
      return false;
    }
    choices.push_back(choice);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::string FormatSubtitleChoices(const std::vector<SubtitleChoice>& choices) {
  std::string text;
  for (const SubtitleChoice& choice : choices) {
    if (!text.empty()) text += ",";
    switch (choice.pick) {
      case SubtitlePick::All: text += "all"; break;
      case SubtitlePick::Language: text += choice.language; break;
      case SubtitlePick::Stream: text += "sub:" + std::to_string(choice.logical); break;
    }
  }
  return text;
}

bool ResolveSubtitles(const std::vector<SubtitleChoice>& choices, const std::vector<DiscSubpicture>& offered,
                      bool fromIfo, std::vector<SubtitleStream>& streams, std::string& error) {
  streams.clear();
  for (const SubtitleChoice& choice : choices) {
    bool found = false;
    for (const DiscSubpicture& stream : offered) {
      const bool named = choice.pick == SubtitlePick::All ||
                         (choice.pick == SubtitlePick::Stream && stream.logical == choice.logical) ||
                         (choice.pick == SubtitlePick::Language && stream.language == choice.language);
      if (!named) continue;
      AddOnce(stream, streams);
      found = true;
    }
    // Without IFO files sub:N names sub-stream 0x20 + N, met by the walk or not.
    if (!found && !fromIfo && choice.pick == SubtitlePick::Stream) {
      AddOnce(DiscSubpicture{choice.logical, static_cast<uint8_t>(0x20 + choice.logical), {}}, streams);
      found = true;
    }
    if (!found && choice.pick != SubtitlePick::All) {
      const std::string name = choice.pick == SubtitlePick::Language ? "in " + choice.language
                                                                      : "sub:" + std::to_string(choice.logical);
      error = "the title has no subtitle stream " + name + "; its subtitle streams: " + OfferedList(offered);
      if (choice.pick == SubtitlePick::Language && !fromIfo) error += " (languages need the disc's IFO files)";
      return false;
    }
  }
  if (streams.empty()) {
    error = "the title has no subtitle stream";
    return false;
  }
  return true;
}

bool PrepareSubtitles(const std::vector<SubtitleChoice>& choices, bool subsOnly, const DiscTitleTable& table,
                      const DiscTitle* discTitle, int firstChapter, int titleSet,
                      const std::vector<uint8_t>& walkedIds, const std::string& output, std::string& error) {
  ClearSubtitles();
  if (choices.empty()) return true;
  const DiscTitle* title = discTitle != nullptr ? discTitle : FirstTitleOfSet(table, titleSet);
  SubtitleSelectionRecord selection;
  const std::vector<DiscSubpicture> offered = TitleSetSubpictures(table, titleSet, walkedIds);
  const std::vector<DiscSubpicture>& streams = title != nullptr ? title->subpictures : offered;
  if (!ResolveSubtitles(choices, streams, title != nullptr, selection.streams, error)) return false;
  if (title != nullptr) {
    const size_t chapter = std::min<size_t>(static_cast<size_t>(std::max(firstChapter, 1)), title->chapters.size()) - 1;
    const DiscChain& chain = title->chains[static_cast<size_t>(title->chapters[chapter].chain)];
    for (int i = 0; i < VOBSUB_PALETTE_COLOURS; ++i) selection.palette[i] = PaletteRgb(chain.palette[i]);
    selection.hasPalette = true;
    selection.width = title->video.width;
    selection.height = title->video.height;
  }
  selection.subsOnly = subsOnly;
  selection.idxPath = VobSubPath(output, ".idx");
  selection.subPath = VobSubPath(output, ".sub");
  SubtitleSelection = selection;
  return true;
}

void ClearSubtitles() { SubtitleSelection = SubtitleSelectionRecord{}; }
