// The disc's title table read from its IFO files through libdvdread, every
// value checked before it is used.
#include "source/disc_titles.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <iterator>
#include <map>

#include "source/dvd_disc.h"

namespace {

constexpr int MAX_TITLE_SETS = 99;

// One title set's IFO, opened once for all the titles that play from it.
struct TitleSetInfo {
  ifo_handle_t* ifo = nullptr;
  uint32_t vobSectors = 0;
};

double TimeSeconds(const dvd_time_t& time) {
  return PlaybackSeconds(time.hour, time.minute, time.second, time.frame_u);
}

DiscVideo VideoOf(const video_attr_t& attr) {
  DiscVideo video;
  const bool pal = attr.video_format == 1;
  video.standard = pal ? "PAL" : "NTSC";
  video.height = pal ? 576 : 480;
  static constexpr int WIDTHS[4] = {720, 704, 352, 352};
  video.width = WIDTHS[attr.picture_size & 3];
  if (attr.picture_size == 3) video.height /= 2;
  video.aspect = attr.display_aspect_ratio == 3 ? "16:9" : "4:3";
  return video;
}

uint32_t Sector32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

constexpr off_t MAX_IFO_BYTES = 16 << 20;

// A table of an IFO: where its sector is named in the file's header, and
// where its own last_byte field lies in it (the offset of its last byte).
struct TablePointer {
  int header;
  int lastByteField;  // -1: the table has none the program checks
};

constexpr TablePointer MANAGER_TABLES[] = {{0xC4, 4},  {0xC8, 4}, {0xCC, 4}, {0xD0, 4},
                                           {0xD4, -1}, {0xD8, 4}, {0xDC, 0}};
constexpr TablePointer TITLE_SET_TABLES[] = {{0xC8, 4}, {0xCC, 4}, {0xD0, 4}, {0xD4, 4},
                                             {0xD8, 4}, {0xDC, 0}, {0xE0, 4}, {0xE4, 0}};

// libdvdread frees a table twice when one of an IFO's tables cannot be read
// whole (a file cut inside a sector, a table placed past its end), and reads
// whatever length a table's last_byte claims (gigabytes), so such files are
// refused before it reads them: whole sectors, a sane size, and every table
// the header points at, with its whole length, inside the file.
bool IfoLooksWhole(dvd_reader_t* reader, int title) {
  dvd_stat_t info;
  if (DVDFileStat(reader, title, DVD_READ_INFO_FILE, &info) != 0) return false;
  if (info.size < static_cast<off_t>(DVD_BLOCK_SIZE) || info.size % DVD_BLOCK_SIZE != 0 || info.size > MAX_IFO_BYTES)
    return false;
  const uint64_t size = static_cast<uint64_t>(info.size);
  dvd_file_t* file = DVDOpenFile(reader, title, DVD_READ_INFO_FILE);
  if (file == nullptr) return false;
  std::vector<uint8_t> bytes(size);
  const bool read = DVDReadBytes(file, bytes.data(), size) == static_cast<ssize_t>(size);
  DVDCloseFile(file);
  if (!read) return false;
  // The IFO's own last sector.
  if (Sector32(&bytes[0x1C]) >= size / DVD_BLOCK_SIZE) return false;
  const TablePointer* first = title == 0 ? std::begin(MANAGER_TABLES) : std::begin(TITLE_SET_TABLES);
  const TablePointer* end = title == 0 ? std::end(MANAGER_TABLES) : std::end(TITLE_SET_TABLES);
  for (const TablePointer* table = first; table != end; ++table) {
    const uint64_t start = static_cast<uint64_t>(Sector32(&bytes[table->header])) * DVD_BLOCK_SIZE;
    if (start == 0) continue;  // no such table
    if (start + DVD_BLOCK_SIZE > size) return false;
    if (table->lastByteField >= 0 && start + Sector32(&bytes[start + table->lastByteField]) >= size) return false;
  }
  return true;
}

bool IsLowerLetter(int c) { return c >= 'a' && c <= 'z'; }

// The audio streams of the title set, numbered as the title's chain plays
// them. Formats the program cannot name (reserved codes) are left out.
std::vector<DiscAudio> AudioOf(const vtsi_mat_t& mat, const pgc_t& chain) {
  std::vector<DiscAudio> list;
  const int count = mat.nr_of_vts_audio_streams < MAX_AUDIO_ATTRIBUTES ? mat.nr_of_vts_audio_streams
                                                                        : MAX_AUDIO_ATTRIBUTES;
  for (int i = 0; i < count; ++i) {
    const audio_attr_t& attr = mat.vts_audio_attr[i];
    const uint16_t control = chain.audio_control[i];
    const int n = (control & 0x8000) != 0 ? (control >> 8) & 0x07 : i;
    DiscAudio audio;
    switch (attr.audio_format) {
      case 0: audio.format = "AC3"; audio.subStreamId = static_cast<uint8_t>(0x80 + n); break;
      case 2:
      case 3: audio.format = "MPEG"; audio.subStreamId = static_cast<uint8_t>(0xC0 + n); break;
      case 4: audio.format = "PCM"; audio.subStreamId = static_cast<uint8_t>(0xA0 + n); break;
      case 6: audio.format = "DTS"; audio.subStreamId = static_cast<uint8_t>(0x88 + n); break;
      default: continue;
    }
    const int first = attr.lang_code >> 8, second = attr.lang_code & 0xFF;
    if (attr.lang_type == 1 && IsLowerLetter(first) && IsLowerLetter(second)) {
      audio.language = {static_cast<char>(first), static_cast<char>(second)};
    }
    audio.channels = attr.channels + 1;
    list.push_back(audio);
  }
  return list;
}

// A programme chain copied out of the IFO; false when its tables are
// missing.
bool CopyChain(const pgc_t* pgc, DiscChain& chain) {
  if (pgc == nullptr || pgc->nr_of_cells == 0 || pgc->nr_of_programs == 0 || pgc->cell_playback == nullptr ||
      pgc->program_map == nullptr)
    return false;
  chain.seconds = TimeSeconds(pgc->playback_time);
  for (int i = 0; i < pgc->nr_of_cells; ++i) {
    const cell_playback_t& cell = pgc->cell_playback[i];
    chain.cells.push_back(DiscCell{cell.first_sector, cell.last_sector, static_cast<uint8_t>(cell.block_mode),
                                   static_cast<uint8_t>(cell.block_type), TimeSeconds(cell.playback_time)});
  }
  // The programme map counts cells from 1.
  for (int i = 0; i < pgc->nr_of_programs; ++i) chain.programStart.push_back(pgc->program_map[i] - 1);
  return true;
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

// Builds one title from its title set's tables; false with the reason.
bool BuildTitle(const title_info_t& info, const TitleSetInfo& set, DiscTitle& title, std::string& problem) {
  const ifo_handle_t* ifo = set.ifo;
  if (ifo->vtsi_mat == nullptr || ifo->vts_ptt_srpt == nullptr || ifo->vts_pgcit == nullptr ||
      ifo->vts_ptt_srpt->title == nullptr || ifo->vts_pgcit->pgci_srp == nullptr) {
    problem = "its title set's tables are missing";
    return false;
  }
  if (info.vts_ttn < 1 || info.vts_ttn > ifo->vts_ptt_srpt->nr_of_srpts) {
    problem = "it names a title its title set does not hold";
    return false;
  }
  if (info.nr_of_angles < 1 || info.nr_of_angles > MAX_ANGLES) {
    problem = "an absurd number of angles";
    return false;
  }
  const ttu_t& parts = ifo->vts_ptt_srpt->title[info.vts_ttn - 1];
  if (info.nr_of_ptts < 1 || info.nr_of_ptts > MAX_CHAPTERS || info.nr_of_ptts > parts.nr_of_ptts ||
      parts.ptt == nullptr) {
    problem = "an absurd number of chapters";
    return false;
  }
  title.angles = info.nr_of_angles;
  std::map<int, int> chainIndex;  // programme chain number -> index in title.chains
  double start = 0;
  for (int c = 0; c < info.nr_of_ptts; ++c) {
    const ptt_info_t& ptt = parts.ptt[c];
    if (ptt.pgcn < 1 || ptt.pgcn > ifo->vts_pgcit->nr_of_pgci_srp) {
      problem = "a chapter names a programme chain that does not exist";
      return false;
    }
    auto found = chainIndex.find(ptt.pgcn);
    if (found == chainIndex.end()) {
      DiscChain chain;
      if (!CopyChain(ifo->vts_pgcit->pgci_srp[ptt.pgcn - 1].pgc, chain)) {
        problem = "an empty programme chain";
        return false;
      }
      if (!CheckChain(chain, set.vobSectors, problem)) return false;
      title.durationSeconds += chain.seconds;
      found = chainIndex.emplace(ptt.pgcn, static_cast<int>(title.chains.size())).first;
      title.chains.push_back(std::move(chain));
    }
    const DiscChain& chain = title.chains[found->second];
    if (ptt.pgn < 1 || ptt.pgn > static_cast<int>(chain.programStart.size())) {
      problem = "a chapter names a programme that does not exist";
      return false;
    }
    DiscChapter chapter{c + 1, start, ProgramSeconds(chain, ptt.pgn - 1), found->second, ptt.pgn - 1};
    start += chapter.durationSeconds;
    title.chapters.push_back(chapter);
  }
  const pgc_t& first = *ifo->vts_pgcit->pgci_srp[parts.ptt[0].pgcn - 1].pgc;
  title.audio = AudioOf(*ifo->vtsi_mat, first);
  title.video = VideoOf(ifo->vtsi_mat->vts_video_attr);
  return true;
}

// Opens the IFO of a title set and sizes its VOBs; false when it cannot be
// read.
bool OpenTitleSet(dvd_reader_t* reader, int number, TitleSetInfo& set) {
  dvd_stat_t info;
  if (DVDFileStat(reader, number, DVD_READ_TITLE_VOBS, &info) != 0 || info.size <= 0) return false;
  const int64_t sectors = info.size / DVD_BLOCK_SIZE;
  set.vobSectors = sectors > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(sectors);
  set.ifo = IfoLooksWhole(reader, number) ? ifoOpen(reader, number) : nullptr;
  return set.ifo != nullptr;
}

}  // namespace

DiscTitleTable ReadDiscTitles() {
  DiscTitleTable table;
  dvd_reader_t* reader = DvdDiscReader();
  dvd_stat_t info;
  if (reader == nullptr || DVDFileStat(reader, 0, DVD_READ_INFO_FILE, &info) != 0) return table;
  table.found = true;
  ifo_handle_t* manager = IfoLooksWhole(reader, 0) ? ifoOpen(reader, 0) : nullptr;
  if (manager == nullptr || manager->tt_srpt == nullptr || manager->tt_srpt->title == nullptr ||
      manager->vmgi_mat == nullptr) {
    table.refused.push_back("the disc's title table (VIDEO_TS.IFO) cannot be read");
    if (manager != nullptr) ifoClose(manager);
    return table;
  }
  const int count = manager->tt_srpt->nr_of_srpts;
  if (count > MAX_DISC_TITLES) {
    table.refused.push_back("the disc's title table lists an absurd number of titles");
    ifoClose(manager);
    return table;
  }
  table.listed = count;
  std::map<int, TitleSetInfo> sets;
  for (int t = 0; t < count; ++t) {
    const title_info_t& entry = manager->tt_srpt->title[t];
    const std::string name = "disc title " + std::to_string(t + 1);
    const int setNumber = entry.title_set_nr;
    if (setNumber < 1 || setNumber > MAX_TITLE_SETS || setNumber > manager->vmgi_mat->vmg_nr_of_title_sets) {
      table.refused.push_back(name + ": it names a title set that does not exist");
      continue;
    }
    auto set = sets.find(setNumber);
    if (set == sets.end()) {
      TitleSetInfo opened;
      OpenTitleSet(reader, setNumber, opened);
      set = sets.emplace(setNumber, opened).first;
    }
    if (set->second.ifo == nullptr) {
      table.refused.push_back(name + ": the IFO or the VOB files of title set " + std::to_string(setNumber) +
                              " cannot be read");
      continue;
    }
    DiscTitle title;
    title.number = t + 1;
    title.titleSet = setNumber;
    std::string problem;
    if (!BuildTitle(entry, set->second, title, problem)) {
      table.refused.push_back(name + ": " + problem);
      continue;
    }
    table.titles.push_back(std::move(title));
  }
  for (auto& [number, set] : sets)
    if (set.ifo != nullptr) ifoClose(set.ifo);
  ifoClose(manager);
  return table;
}
