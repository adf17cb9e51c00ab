// The checks of a programme chain, the cells a walk of chapters reads, and
// the readable line of a disc title: plain computations over the tables
// read from the IFO files.
#include <cstdio>

#include "source/disc_titles.h"

namespace {

int Bcd(uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }

// The cells [first, end) of programme `program` of the chain.
void ProgramCells(const DiscChain& chain, int program, int& first, int& end) {
  first = chain.programStart[program];
  end = program + 1 < static_cast<int>(chain.programStart.size()) ? chain.programStart[program + 1]
                                                                  : static_cast<int>(chain.cells.size());
}

// The block of cells that holds cell i: [first, last].
void BlockAround(const DiscChain& chain, int i, int& first, int& last) {
  first = i;
  while (first > 0 && chain.cells[first].blockMode != CELL_BLOCK_FIRST) --first;
  last = i;
  while (last + 1 < static_cast<int>(chain.cells.size()) && chain.cells[last].blockMode != CELL_BLOCK_LAST) ++last;
}

void AppendRange(std::vector<SectorRange>& plan, const DiscCell& cell) {
  // Cells that follow one another on the disc are read as one range.
  if (!plan.empty() && plan.back().last + 1 == cell.firstSector) {
    plan.back().last = cell.lastSector;
    return;
  }
  plan.push_back(SectorRange{cell.firstSector, cell.lastSector});
}

std::string Plural(int count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string ChannelLayout(int channels) {
  if (channels == 6) return "5.1";
  if (channels == 8) return "7.1";
  return std::to_string(channels) + ".0";
}

}  // namespace

double PlaybackSeconds(uint8_t hour, uint8_t minute, uint8_t second, uint8_t frameByte) {
  double seconds = Bcd(hour) * 3600.0 + Bcd(minute) * 60.0 + Bcd(second);
  const int rate = frameByte >> 6;
  const int frames = Bcd(frameByte & 0x3F);
  if (rate == 1) seconds += frames / 25.0;
  if (rate == 3) seconds += frames / 29.97;
  return seconds;
}

bool CheckChain(const DiscChain& chain, uint32_t vobSectors, std::string& problem) {
  const int cells = static_cast<int>(chain.cells.size());
  if (cells == 0 || chain.programStart.empty()) {
    problem = "an empty programme chain";
    return false;
  }
  int previous = -1;
  for (int start : chain.programStart) {
    if (start < 0 || start >= cells) {
      problem = "a chapter starts at a cell that does not exist";
      return false;
    }
    if (start <= previous) {
      problem = "programmes out of order (a looping chain)";
      return false;
    }
    previous = start;
  }
  bool inBlock = false;
  bool wellFormed = true;
  for (const DiscCell& cell : chain.cells) {
    if (cell.firstSector > cell.lastSector || cell.lastSector >= vobSectors) {
      problem = "a cell lies beyond the title set's VOB files";
      return false;
    }
    const bool opens = cell.blockMode == CELL_BLOCK_FIRST;
    const bool inside = cell.blockMode == CELL_BLOCK_MIDDLE || cell.blockMode == CELL_BLOCK_LAST;
    // Inside a block only its middle and last cells may follow; outside it
    // only a cell that opens a block or lies in none.
    if (inside != inBlock) wellFormed = false;
    inBlock = opens || (inBlock && cell.blockMode == CELL_BLOCK_MIDDLE);
  }
  if (inBlock || !wellFormed) {
    problem = "a block of cells that is not opened or not closed";
    return false;
  }
  return true;
}

bool DiscTitlePlan(const DiscTitle& title, int firstChapter, int lastChapter, int angle,
                   std::vector<SectorRange>& plan, std::string& error) {
  const int chapters = static_cast<int>(title.chapters.size());
  if (firstChapter < 1 || lastChapter < firstChapter || lastChapter > chapters) {
    error = "disc title " + std::to_string(title.number) + " has chapters 1 to " + std::to_string(chapters);
    return false;
  }
  if (angle < 1 || angle > title.angles) {
    error = "disc title " + std::to_string(title.number) + " has " + Plural(title.angles, "angle");
    return false;
  }
  plan.clear();
  for (int c = firstChapter; c <= lastChapter; ++c) {
    const DiscChapter& chapter = title.chapters[c - 1];
    const DiscChain& chain = title.chains[chapter.chain];
    int cell, end;
    ProgramCells(chain, chapter.program, cell, end);
    while (cell < end) {
      const DiscCell& here = chain.cells[cell];
      if (here.blockMode == CELL_NOT_IN_BLOCK || here.blockType != CELL_BLOCK_ANGLE) {
        AppendRange(plan, here);
        ++cell;
        continue;
      }
      int blockFirst, blockLast;
      BlockAround(chain, cell, blockFirst, blockLast);
      if (blockLast - blockFirst + 1 < angle) {
        error = "disc title " + std::to_string(title.number) + " has an angle block of " +
                Plural(blockLast - blockFirst + 1, "angle");
        return false;
      }
      AppendRange(plan, chain.cells[blockFirst + angle - 1]);
      cell = blockLast + 1;
    }
  }
  return true;
}

uint64_t PlanBytes(const std::vector<SectorRange>& plan) {
  uint64_t bytes = 0;
  for (const SectorRange& range : plan) bytes += (static_cast<uint64_t>(range.last) - range.first + 1) * DVD_BLOCK_SIZE;
  return bytes;
}

std::string AudioSelector(const DiscAudio& audio) {
  if (audio.format == "AC3") return "ac3:" + std::to_string(audio.subStreamId - 0x80);
  if (audio.format == "PCM") return "pcm:" + std::to_string(audio.subStreamId - 0xA0);
  if (audio.format == "DTS") return "dts:" + std::to_string(audio.subStreamId - 0x88);
  return "mpeg:" + std::to_string(audio.subStreamId - 0xC0);
}

std::string DiscTitleLine(const DiscTitle& title) {
  const unsigned total = static_cast<unsigned>(title.durationSeconds);
  char head[96];
  std::snprintf(head, sizeof head, "%3d  set %d  %02u:%02u:%02u  ", title.number, title.titleSet, total / 3600,
                (total / 60) % 60, total % 60);
  std::string line = head + Plural(static_cast<int>(title.chapters.size()), "chapter") + "  " +
                     Plural(title.angles, "angle");
  for (size_t i = 0; i < title.audio.size(); ++i) {
    const DiscAudio& audio = title.audio[i];
    line += i == 0 ? "  " : ", ";
    line += (audio.language.empty() ? std::string("--") : audio.language) + " " + audio.format + " " +
            ChannelLayout(audio.channels) + " (" + AudioSelector(audio) + ")";
  }
  for (size_t i = 0; i < title.subpictures.size(); ++i) {
    const DiscSubpicture& stream = title.subpictures[i];
    line += i == 0 ? "  subtitles " : ", ";
    line += (stream.language.empty() ? std::string("--") : stream.language) + " (sub:" +
            std::to_string(stream.logical) + ")";
  }
  return line;
}
