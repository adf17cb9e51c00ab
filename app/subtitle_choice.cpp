#include "app/subtitle_choice.h"

#include <algorithm>

#include "app/stream_selector.h"
#include "source/subpicture_streams.h"

namespace {

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
  std::vector<StreamSelector> selectors;
  std::string badItem;
  if (!ParseStreamSelectors(text, {SelectorKind{"sub", MAX_SUBPICTURE_LOGICAL}}, false, selectors, badItem)) {
    error = "\"" + badItem + "\" is no subtitle stream: give sub:N (N = 0.." + std::to_string(MAX_SUBPICTURE_LOGICAL) +
            "), a language code such as en, or all";
    return false;
  }
  for (const StreamSelector& selector : selectors) {
    SubtitleChoice choice;
    choice.pick = selector.pick == SelectorPick::All        ? SubtitlePick::All
                  : selector.pick == SelectorPick::Language ? SubtitlePick::Language
                                                            : SubtitlePick::Stream;
    choice.logical = selector.index;
    choice.language = selector.language;
    choices.push_back(choice);
  }
  return true;
}

std::string FormatSubtitleChoices(const std::vector<SubtitleChoice>& choices) {
  std::vector<StreamSelector> selectors;
  for (const SubtitleChoice& choice : choices) {
    StreamSelector selector;
    selector.pick = choice.pick == SubtitlePick::All        ? SelectorPick::All
                    : choice.pick == SubtitlePick::Language ? SelectorPick::Language
                                                            : SelectorPick::Stream;
    selector.kind = "sub";
    selector.index = choice.logical;
    selector.language = choice.language;
    selectors.push_back(selector);
  }
  return FormatStreamSelectors(selectors);
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
