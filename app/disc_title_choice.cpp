#include "app/disc_title_choice.h"

#include "extract/title_selection.h"
#include "source/dvd_block_reader.h"

bool DiscTitleRefused(const DiscTitleTable& table, int number) {
  const std::string prefix = "disc title " + std::to_string(number) + ":";
  for (const std::string& reason : table.refused) {
    // A reason that names no disc title is the title table's own.
    if (reason.rfind(prefix, 0) == 0 || reason.rfind("disc title ", 0) != 0) return true;
  }
  return false;
}

const DiscTitle* FindDiscTitle(const DiscTitleTable& table, int number, std::string& error) {
  if (!table.found) {
    error = "the source has no IFO files (VIDEO_TS.IFO): a disc title needs the disc's information files; "
            "use --title with the title numbers that scan lists";
    return nullptr;
  }
  const std::string prefix = "disc title " + std::to_string(number) + ":";
  for (const std::string& reason : table.refused) {
    if (reason.rfind(prefix, 0) == 0) {
      error = "The disc's information files (IFO) were refused: " + reason;
      return nullptr;
    }
  }
  for (const DiscTitle& title : table.titles)
    if (title.number == number) return &title;
  error = "disc title " + std::to_string(number) + " does not exist: the disc has " + std::to_string(table.listed) +
          (table.listed == 1 ? " title" : " titles");
  return nullptr;
}

bool NarrowToDiscTitle(const DiscTitle& title, int firstChapter, int lastChapter, int angle, std::string& error) {
  if (lastChapter == 0) lastChapter = static_cast<int>(title.chapters.size());
  std::vector<SectorRange> plan;
  if (!DiscTitlePlan(title, firstChapter, lastChapter, angle, plan, error)) return false;
  DvdBlockSetPlan(title.titleSet, plan);
  TitleSelection.title = title.titleSet;
  // The progress percentage is computed against the size walked.
  const uint64_t mb = (PlanBytes(plan) + 0x80000) / 0x100000;
  TitleSelection.sizeMB = mb == 0 ? 1 : static_cast<int32_t>(mb);
  return true;
}

void ClearDiscTitleNarrowing() { DvdBlockClearPlan(); }

std::vector<const DiscTitle*> DiscTitlesOfSet(const DiscTitleTable& table, int titleSet) {
  std::vector<const DiscTitle*> titles;
  for (const DiscTitle& title : table.titles)
    if (title.titleSet == titleSet) titles.push_back(&title);
  return titles;
}

std::string SubtitleOfferName(const DiscSubpicture& stream) {
  return (stream.language.empty() ? std::string("--") : stream.language) + " (sub:" + std::to_string(stream.logical) +
         ")";
}
