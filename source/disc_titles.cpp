// The disc's title table read from its IFO files, every value checked
// before it is used. libdvdread delivers the files' bytes; the tables are
// read here, with bounds-checked reads: its own IFO reader frees tables
// twice on some damaged files (found by the fuzzer), which no check in
// front of it could rule out.
#include "source/disc_titles.h"

#include <dvdread/dvd_reader.h>

#include <algorithm>
#include <map>

#include "source/dvd_disc.h"

namespace {

constexpr int MAX_TITLE_SETS = 99;
constexpr size_t MAX_IFO_BYTES = 16 << 20;

// The bytes of one IFO file. A read outside them gives 0 and marks the file
// bad; its user checks `bad` before it trusts what it read.
struct IfoFile {
  std::vector<uint8_t> bytes;
  mutable bool bad = false;

  bool Holds(uint64_t at, uint64_t count) const {
    if (at + count <= bytes.size()) return true;
    bad = true;
    return false;
  }
  uint32_t U8(uint64_t at) const { return Holds(at, 1) ? bytes[at] : 0; }
  uint32_t U16(uint64_t at) const { return Holds(at, 2) ? (bytes[at] << 8 | bytes[at + 1]) : 0; }
  uint32_t U32(uint64_t at) const {
    return Holds(at, 4) ? (static_cast<uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
                           bytes[at + 3])
                        : 0;
  }
  double Time(uint64_t at) const { return PlaybackSeconds(U8(at), U8(at + 1), U8(at + 2), U8(at + 3)); }
};

// Header fields of the two kinds of IFO file (offsets in the file).
constexpr uint64_t VMG_TITLE_SETS = 0x3E;  // u16
constexpr uint64_t VMG_TT_SRPT = 0xC4;     // sector of the title table
constexpr uint64_t VTS_PTT_SRPT = 0xC8;    // sector of the chapter table
constexpr uint64_t VTS_PGCIT = 0xCC;       // sector of the programme chain table
constexpr uint64_t VTS_VIDEO_ATTR = 0x200;
constexpr uint64_t VTS_AUDIO_COUNT = 0x202;  // u16
constexpr uint64_t VTS_AUDIO_ATTR = 0x204;   // 8 bytes each
constexpr uint64_t VTS_SUBPICTURE_COUNT = 0x254;  // u16
constexpr uint64_t VTS_SUBPICTURE_ATTR = 0x256;   // 6 bytes each

// Programme chain fields (offsets in the chain).
constexpr uint64_t PGC_PROGRAMS = 2, PGC_CELLS = 3, PGC_TIME = 4, PGC_AUDIO_CONTROL = 0x0C;
constexpr uint64_t PGC_SUBPICTURE_CONTROL = 0x1C, PGC_PALETTE = 0xA4;  // 4 bytes per stream, per colour
constexpr uint64_t PGC_PROGRAM_MAP = 0xE6, PGC_CELL_PLAYBACK = 0xE8;
constexpr uint64_t CELL_PLAYBACK_SIZE = 24;

bool ReadIfo(dvd_reader_t* reader, int title, IfoFile& file) {
  dvd_stat_t info;
  if (DVDFileStat(reader, title, DVD_READ_INFO_FILE, &info) != 0) return false;
  if (info.size < static_cast<off_t>(DVD_BLOCK_SIZE) || static_cast<uint64_t>(info.size) > MAX_IFO_BYTES)
    return false;
  dvd_file_t* handle = DVDOpenFile(reader, title, DVD_READ_INFO_FILE);
  if (handle == nullptr) return false;
  file.bytes.resize(static_cast<size_t>(info.size));
  const bool read = DVDReadBytes(handle, file.bytes.data(), file.bytes.size()) ==
                    static_cast<ssize_t>(file.bytes.size());
  DVDCloseFile(handle);
  return read;
}

DiscVideo VideoOf(const IfoFile& ifo) {
  DiscVideo video;
  const uint32_t first = ifo.U8(VTS_VIDEO_ATTR), second = ifo.U8(VTS_VIDEO_ATTR + 1);
  const bool pal = ((first >> 4) & 3) == 1;
  const uint32_t pictureSize = (second >> 2) & 3;
  video.standard = pal ? "PAL" : "NTSC";
  video.height = pal ? 576 : 480;
  static constexpr int WIDTHS[4] = {720, 704, 352, 352};
  video.width = WIDTHS[pictureSize];
  if (pictureSize == 3) video.height /= 2;
  video.aspect = ((first >> 2) & 3) == 3 ? "16:9" : "4:3";
  return video;
}

bool IsLowerLetter(uint32_t c) { return c >= 'a' && c <= 'z'; }

// A language code of two lower-case letters at `at`, when the attribute's
// language type (low two bits of `typeByte`) says one is there.
std::string LanguageAt(const IfoFile& ifo, uint64_t at, uint32_t typeByte) {
  const uint32_t first = ifo.U8(at), second = ifo.U8(at + 1);
  if ((typeByte & 3) != 1 || !IsLowerLetter(first) || !IsLowerLetter(second)) return {};
  return {static_cast<char>(first), static_cast<char>(second)};
}

// The audio streams of the title set, numbered as the title's first chain
// plays them. Formats the program cannot name (reserved codes) are left out.
std::vector<DiscAudio> AudioOf(const IfoFile& ifo, uint64_t chain) {
  std::vector<DiscAudio> list;
  const uint32_t count = std::min<uint32_t>(ifo.U16(VTS_AUDIO_COUNT), MAX_AUDIO_ATTRIBUTES);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t attr = VTS_AUDIO_ATTR + 8 * i;
    const uint32_t control = ifo.U16(chain + PGC_AUDIO_CONTROL + 2 * i);
    const uint32_t n = (control & 0x8000) != 0 ? (control >> 8) & 0x07 : i;
    DiscAudio audio;
    switch (ifo.U8(attr) >> 5) {
      case 0: audio.format = "AC3"; audio.subStreamId = static_cast<uint8_t>(0x80 + n); break;
      case 2:
      case 3: audio.format = "MPEG"; audio.subStreamId = static_cast<uint8_t>(0xC0 + n); break;
      case 4: audio.format = "PCM"; audio.subStreamId = static_cast<uint8_t>(0xA0 + n); break;
      case 6: audio.format = "DTS"; audio.subStreamId = static_cast<uint8_t>(0x88 + n); break;
      default: continue;
    }
    audio.language = LanguageAt(ifo, attr + 2, ifo.U8(attr) >> 2);
    audio.channels = static_cast<int>(ifo.U8(attr + 1) & 7) + 1;
    list.push_back(audio);
  }
  return list;
}

// The sub-picture streams of the title set, as its first chain plays them
// on a picture of the given aspect. A stream the chain does not make
// available is left out; without a control entry the physical stream is
// the logical one.
std::vector<DiscSubpicture> SubpicturesOf(const IfoFile& ifo, const DiscChain& chain, bool wide) {
  std::vector<DiscSubpicture> list;
  const uint32_t count = std::min<uint32_t>(ifo.U16(VTS_SUBPICTURE_COUNT), MAX_SUBPICTURE_STREAMS);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t attr = VTS_SUBPICTURE_ATTR + 6 * i;
    const SubpictureControl& control = chain.subpictures[i];
    if (!control.available) continue;
    DiscSubpicture stream;
    stream.logical = static_cast<int>(i);
    stream.subStreamId = static_cast<uint8_t>(0x20 + (wide ? control.wide : control.narrow));
    stream.language = LanguageAt(ifo, attr + 2, ifo.U8(attr));
    list.push_back(stream);
  }
  return list;
}

void ReadSubpictureControl(const IfoFile& ifo, uint64_t at, DiscChain& chain) {
  for (int i = 0; i < MAX_SUBPICTURE_STREAMS; ++i) {
    const uint64_t entry = at + PGC_SUBPICTURE_CONTROL + 4 * i;
    const uint32_t narrow = ifo.U8(entry);
    SubpictureControl& control = chain.subpictures[i];
    control.available = (narrow & 0x80) != 0;
    control.narrow = static_cast<uint8_t>(narrow & 0x1F);
    control.wide = static_cast<uint8_t>(ifo.U8(entry + 1) & 0x1F);
    control.letterbox = static_cast<uint8_t>(ifo.U8(entry + 2) & 0x1F);
    control.panScan = static_cast<uint8_t>(ifo.U8(entry + 3) & 0x1F);
  }
  for (int i = 0; i < PALETTE_COLOURS; ++i) chain.palette[i] = ifo.U32(at + PGC_PALETTE + 4 * i) & 0xFFFFFF;
}

// The chain that starts at byte `at` of the title set's IFO.
bool ReadChain(const IfoFile& ifo, uint64_t at, DiscChain& chain) {
  const uint32_t programs = ifo.U8(at + PGC_PROGRAMS), cells = ifo.U8(at + PGC_CELLS);
  if (programs == 0 || cells == 0) return false;
  chain.seconds = ifo.Time(at + PGC_TIME);
  ReadSubpictureControl(ifo, at, chain);
  const uint64_t map = at + ifo.U16(at + PGC_PROGRAM_MAP), playback = at + ifo.U16(at + PGC_CELL_PLAYBACK);
  if (!ifo.Holds(map, programs) || !ifo.Holds(playback, cells * CELL_PLAYBACK_SIZE)) return false;
  for (uint32_t i = 0; i < cells; ++i) {
    const uint64_t cell = playback + i * CELL_PLAYBACK_SIZE;
    const uint32_t mode = ifo.U8(cell);
    chain.cells.push_back(DiscCell{ifo.U32(cell + 8), ifo.U32(cell + 20), static_cast<uint8_t>(mode >> 6),
                                   static_cast<uint8_t>((mode >> 4) & 3), ifo.Time(cell + 4)});
  }
  // The programme map counts cells from 1.
  for (uint32_t i = 0; i < programs; ++i) chain.programStart.push_back(static_cast<int>(ifo.U8(map + i)) - 1);
  return !ifo.bad;
}

// The seconds a programme plays: its cells, one cell of each angle block.
double ProgramSeconds(const DiscChain& chain, int program) {
  const int first = chain.programStart[program];
  const int end = program + 1 < static_cast<int>(chain.programStart.size()) ? chain.programStart[program + 1]
                                                                           : static_cast<int>(chain.cells.size());
  double seconds = 0;
  for (int i = first; i < end; ++i) {
    const DiscCell& cell = chain.cells[i];
    const bool laterAngle = cell.blockType == CELL_BLOCK_ANGLE &&
                            (cell.blockMode == CELL_BLOCK_MIDDLE || cell.blockMode == CELL_BLOCK_LAST);
    if (!laterAngle) seconds += cell.seconds;
  }
  return seconds;
}

// One title set: its IFO and the size of its VOBs in sectors.
struct TitleSetInfo {
  bool read = false;
  IfoFile ifo;
  uint32_t vobSectors = 0;
};

bool OpenTitleSet(dvd_reader_t* reader, int number, TitleSetInfo& set) {
  dvd_stat_t info;
  if (DVDFileStat(reader, number, DVD_READ_TITLE_VOBS, &info) != 0 || info.size <= 0) return false;
  const int64_t sectors = info.size / DVD_BLOCK_SIZE;
  set.vobSectors = sectors > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(sectors);
  return ReadIfo(reader, number, set.ifo);
}

// An entry of the title table.
struct TitleEntry {
  uint32_t angles, chapters, titleSet, titleInSet;
};

// Builds one title from its title set's tables; false with the reason.
bool BuildTitle(const TitleEntry& entry, const TitleSetInfo& set, DiscTitle& title, std::string& problem) {
  const IfoFile& ifo = set.ifo;
  ifo.bad = false;
  const uint64_t parts = static_cast<uint64_t>(ifo.U32(VTS_PTT_SRPT)) * DVD_BLOCK_SIZE;
  const uint64_t chains = static_cast<uint64_t>(ifo.U32(VTS_PGCIT)) * DVD_BLOCK_SIZE;
  if (parts == 0 || chains == 0 || !ifo.Holds(parts, 8) || !ifo.Holds(chains, 8)) {
    problem = "its title set's tables are missing";
    return false;
  }
  if (entry.angles < 1 || entry.angles > MAX_ANGLES) {
    problem = "an absurd number of angles";
    return false;
  }
  // The chapter table: a count, then an offset per title to its chapters.
  const uint32_t titlesInSet = ifo.U16(parts);
  const uint64_t partsEnd = parts + ifo.U32(parts + 4) + 1;
  if (entry.titleInSet < 1 || entry.titleInSet > titlesInSet) {
    problem = "it names a title its title set does not hold";
    return false;
  }
  const uint64_t first = parts + ifo.U32(parts + 8 + 4 * (entry.titleInSet - 1));
  const uint64_t end = entry.titleInSet < titlesInSet ? parts + ifo.U32(parts + 8 + 4 * entry.titleInSet) : partsEnd;
  if (entry.chapters < 1 || entry.chapters > MAX_CHAPTERS || first < parts + 8 || end > partsEnd || first > end ||
      (end - first) / 4 < entry.chapters || ifo.bad) {
    problem = "an absurd number of chapters";
    return false;
  }
  title.angles = static_cast<int>(entry.angles);
  const uint32_t chainCount = ifo.U16(chains);
  const uint64_t chainsEnd = chains + ifo.U32(chains + 4) + 1;
  std::map<uint32_t, int> chainIndex;  // programme chain number -> index in title.chains
  double start = 0;
  uint64_t firstChain = 0;
  for (uint32_t c = 0; c < entry.chapters; ++c) {
    const uint32_t pgcn = ifo.U16(first + 4 * c), pgn = ifo.U16(first + 4 * c + 2);
    if (pgcn < 1 || pgcn > chainCount) {
      problem = "a chapter names a programme chain that does not exist";
      return false;
    }
    const uint64_t at = chains + ifo.U32(chains + 8 + 8 * (pgcn - 1) + 4);
    if (c == 0) firstChain = at;
    auto found = chainIndex.find(pgcn);
    if (found == chainIndex.end()) {
      DiscChain chain;
      if (at < chains + 8 || at >= chainsEnd || !ReadChain(ifo, at, chain)) {
        problem = "an empty programme chain";
        return false;
      }
      if (!CheckChain(chain, set.vobSectors, problem)) return false;
      title.durationSeconds += chain.seconds;
      found = chainIndex.emplace(pgcn, static_cast<int>(title.chains.size())).first;
      title.chains.push_back(std::move(chain));
    }
    const DiscChain& chain = title.chains[found->second];
    if (pgn < 1 || pgn > chain.programStart.size()) {
      problem = "a chapter names a programme that does not exist";
      return false;
    }
    const int program = static_cast<int>(pgn) - 1;
    DiscChapter chapter{static_cast<int>(c) + 1, start, ProgramSeconds(chain, program), found->second, program};
    start += chapter.durationSeconds;
    title.chapters.push_back(chapter);
  }
  title.audio = AudioOf(ifo, firstChain);
  title.video = VideoOf(ifo);
  title.subpictures = SubpicturesOf(ifo, title.chains[title.chapters.front().chain], title.video.aspect == "16:9");
  if (ifo.bad) {
    problem = "its title set's tables run past the end of its IFO file";
    return false;
  }
  return true;
}

}  // namespace

DiscTitleTable ReadDiscTitles() {
  DiscTitleTable table;
  dvd_reader_t* reader = DvdDiscReader();
  dvd_stat_t info;
  if (reader == nullptr || DVDFileStat(reader, 0, DVD_READ_INFO_FILE, &info) != 0) return table;
  table.found = true;
  IfoFile manager;
  const uint64_t titles = ReadIfo(reader, 0, manager) ? static_cast<uint64_t>(manager.U32(VMG_TT_SRPT)) * DVD_BLOCK_SIZE : 0;
  const uint32_t count = titles != 0 ? manager.U16(titles) : 0;
  if (titles == 0 || count == 0 || manager.bad || !manager.Holds(titles + 8, 12ull * count)) {
    table.refused.push_back("the disc's title table (VIDEO_TS.IFO) cannot be read");
    return table;
  }
  if (count > MAX_DISC_TITLES) {
    table.refused.push_back("the disc's title table lists an absurd number of titles");
    return table;
  }
  table.listed = static_cast<int>(count);
  const uint32_t titleSets = manager.U16(VMG_TITLE_SETS);
  std::map<int, TitleSetInfo> sets;
  for (uint32_t t = 0; t < count; ++t) {
    const uint64_t at = titles + 8 + 12 * t;
    const TitleEntry entry{manager.U8(at + 1), manager.U16(at + 2), manager.U8(at + 6), manager.U8(at + 7)};
    const std::string name = "disc title " + std::to_string(t + 1);
    const int setNumber = static_cast<int>(entry.titleSet);
    if (setNumber < 1 || setNumber > MAX_TITLE_SETS || entry.titleSet > titleSets) {
      table.refused.push_back(name + ": it names a title set that does not exist");
      continue;
    }
    auto set = sets.find(setNumber);
    if (set == sets.end()) {
      set = sets.emplace(setNumber, TitleSetInfo{}).first;
      set->second.read = OpenTitleSet(reader, setNumber, set->second);
    }
    if (!set->second.read) {
      table.refused.push_back(name + ": the IFO or the VOB files of title set " + std::to_string(setNumber) +
                              " cannot be read");
      continue;
    }
    DiscTitle title;
    title.number = static_cast<int>(t) + 1;
    title.titleSet = setNumber;
    std::string problem;
    if (!BuildTitle(entry, set->second, title, problem)) {
      table.refused.push_back(name + ": " + problem);
      continue;
    }
    table.titles.push_back(std::move(title));
  }
  return table;
}
