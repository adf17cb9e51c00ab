#include "app/cli/extract_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/disc_title_batch.h"
#include "app/disc_title_choice.h"
#include "app/extraction_batch.h"
#include "extract/title_selection.h"
#include "report/exit_status.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "extract/extraction_driver.h"
#include "extract/extraction_request.h"
#include "platform/drives.h"
#include "platform/file_identity.h"
#include "platform/terminal_ui.h"
#include "report/exit_status.h"
#include "source/disc_titles.h"
#include "source/dvd_disc.h"
#include "source/title_scanner.h"

namespace {

constexpr int EXIT_FAILED = ExitCode(ExitStatus::Failed);
constexpr int EXIT_USAGE = ExitCode(ExitStatus::Usage);
constexpr int MAX_AUDIO_STREAM = 7;

// "ac3:K" or "pcm:K" into the stream kind and sub-stream id.
bool ParseAudio(const std::string& audio, int32_t& kind, uint8_t& subStreamId) {
  const size_t colon = audio.find(':');
  if (colon == std::string::npos) return false;
  const std::string codec = audio.substr(0, colon);
  const std::string number = audio.substr(colon + 1);
  if (number.empty() || number.size() > 1 || number[0] < '0' || number[0] - '0' > MAX_AUDIO_STREAM) return false;
  const int k = number[0] - '0';
  if (codec == "ac3") {
    kind = STREAM_KIND_AC3;
    subStreamId = static_cast<uint8_t>(0x80 + k);
  } else if (codec == "pcm") {
    kind = STREAM_KIND_PCM;
    subStreamId = static_cast<uint8_t>(0xA0 + k);
  } else {
    return false;
  }
  return true;
}

std::string StreamName(int32_t kind, uint8_t subStreamId) {
  const bool pcm = kind == STREAM_KIND_PCM;
  return (pcm ? "pcm:" : "ac3:") + std::to_string(subStreamId - (pcm ? 0xA0 : 0x80));
}

// A request the disc cannot meet is a usage error that names what it has;
// nothing has been opened for writing yet.
int RefuseMissingTitle(int title) {
  std::string titles;
  for (int32_t listed : ListedTitles()) titles += (titles.empty() ? "" : ", ") + std::to_string(listed);
  std::fprintf(stderr, "voltark-cli extract: the source has no title %d; its titles: %s\n", title,
               titles.empty() ? "none" : titles.c_str());
  return EXIT_USAGE;
}

int RefuseMissingStream(int title, const std::string& audio, const std::vector<OfferedStream>& offered) {
  std::string streams;
  for (const OfferedStream& stream : offered)
    streams += (streams.empty() ? "" : ", ") + StreamName(stream.streamKind, stream.subStreamId);
  std::fprintf(stderr, "voltark-cli extract: title %d has no audio stream %s; its audio streams: %s\n", title,
               audio.c_str(), streams.empty() ? "none" : streams.c_str());
  return EXIT_USAGE;
}

// "A" or "A-B" with 1 <= A <= B.
bool ParseChapters(const std::string& text, int& first, int& last) {
  unsigned a = 0, b = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%u-%u%c", &a, &b, &rest) == 2) {
  } else if (std::sscanf(text.c_str(), "%u%c", &a, &rest) == 1 && text.find('-') == std::string::npos) {
    b = a;
  } else {
    return false;
  }
  if (a < 1 || b < a || b > static_cast<unsigned>(MAX_CHAPTERS)) return false;
  first = static_cast<int>(a);
  last = static_cast<int>(b);
  return true;
}

// The disc title's cells as the reader's plan, and the title set it plays
// from into TitleSelection. 0, or the exit status after a message on
// stderr: a disc title, chapter or angle the disc lacks is a usage error,
// refused IFO tables a failure.
int PlanDiscTitle(const ExtractCommand& extract, int discTitle, int firstChapter, int lastChapter) {
  std::string error;
  const DiscTitleTable table = ReadDiscTitles();
  const DiscTitle* chosen = FindDiscTitle(table, discTitle, error);
  if (chosen == nullptr || !NarrowToDiscTitle(*chosen, firstChapter, extract.chapters.empty() ? 0 : lastChapter,
                                              extract.angle, error)) {
    std::fprintf(stderr, "VOLTARK: %s: %s\n", extract.source.c_str(), error.c_str());
    return DiscTitleRefused(table, discTitle) ? EXIT_FAILED : EXIT_USAGE;
  }
  return 0;
}

// An existing file is replaced only with --overwrite or when the user says
// so on the terminal; without a terminal to ask on, it is left as it was.
bool MayWriteFile(const ExtractCommand& extract, const std::string& output) {
  if (extract.overwrite || !PathExists(output)) return true;
  if (StdinIsTerminal() && AskYesNo("voltark-cli extract: " + output + " exists. Overwrite it?")) return true;
  std::fprintf(stderr, "voltark-cli extract: %s exists and was left as it was; give --overwrite to replace it\n",
               output.c_str());
  return false;
}

bool MayWriteOutput(const ExtractCommand& extract) { return MayWriteFile(extract, extract.output); }

// The worst of the titles.
int RunBatch(const ExtractCommand& extract) {
  Batch.options.stopIsNotDone = true;
  VerboseErrors = extract.verbose;
  StopOnDamage = extract.stopOnDamage;
  TerminalUi ui;
  UiInstall(&ui);
  ExtractionBatchWorker();
  UiInstall(nullptr);
  return ExitCode(BatchExitStatus());
}

std::string NumberList(const std::vector<int>& numbers) {
  std::string text;
  for (int number : numbers) text += (text.empty() ? "" : ", ") + std::to_string(number);
  return text;
}

// Several disc titles, each into its own file of the output folder or
// pattern.
int ExtractDiscTitles(const ExtractCommand& extract, bool all, std::vector<int> numbers, int32_t kind,
                      uint8_t subStreamId, const Drive& drive) {
  const DiscTitleTable table = ReadDiscTitles();
  if (!table.found) {
    std::string error;
    FindDiscTitle(table, 1, error);
    std::fprintf(stderr, "VOLTARK: %s: %s\n", extract.source.c_str(), error.c_str());
    return EXIT_FAILED;
  }
  if (all) {
    numbers.clear();
    for (int number = 1; number <= table.listed; ++number) numbers.push_back(number);
  }
  for (int number : numbers) {
    if (number <= table.listed) continue;
    std::fprintf(stderr, "voltark-cli extract: the disc has no title %d; it has %d\n", number, table.listed);
    return EXIT_USAGE;
  }
  std::vector<int> leftOut;
  numbers = LongEnoughTitles(table, numbers, extract.minDuration, leftOut);
  if (!leftOut.empty())
    std::fprintf(stderr, "VOLTARK: left out, shorter than %g s: disc titles %s\n", extract.minDuration,
                 NumberList(leftOut).c_str());
  if (numbers.empty()) {
    std::fprintf(stderr, "VOLTARK: no disc title to extract\n");
    return EXIT_FAILED;
  }
  // The folder of the files is made when it does not exist yet.
  const bool pattern = IsOutputPattern(extract.output);
  std::filesystem::path folder = pattern ? std::filesystem::path(extract.output).parent_path()
                                         : std::filesystem::path(extract.output);
  std::error_code failed;
  if (!folder.empty() && !std::filesystem::is_directory(folder, failed) &&
      !std::filesystem::create_directories(folder, failed)) {
    std::fprintf(stderr, "VOLTARK: %s: the output folder cannot be made\n", folder.string().c_str());
    return EXIT_FAILED;
  }
  const std::string base = DiscFileBaseName(drive);
  Batch.jobs.clear();
  for (int number : numbers) {
    ExtractionJob job;
    job.discTitle = number;
    job.streamKind = kind;
    job.subStreamId = subStreamId;
    job.dynamicCompression = extract.dynamicCompression;
    job.output = BatchOutputFile(extract.output, base, number);
    // Every file of the batch is checked before the first is written.
    if (OutputIsSourceFile(job.output.c_str())) {
      ShowError(IDS_OUTPUT_IS_INPUT);
      return EXIT_FAILED;
    }
    if (!MayWriteFile(extract, job.output)) return EXIT_FAILED;
    Batch.jobs.push_back(job);
  }
  return RunBatch(extract);
}

}  // namespace

void AddExtractCommand(CLI::App& app, ExtractCommand& extract) {
  extract.command = app.add_subcommand("extract", "Extract one title with one audio stream into an MPEG-2 file");
  extract.command
      ->add_option("SOURCE", extract.source,
                   "A folder that holds VIDEO_TS (or the VIDEO_TS folder itself), an image file of a disc "
                   "(dvd.iso), or a DVD drive device such as /dev/sr0, mounted or not")
      ->required();
  CLI::Option* title =
      extract.command->add_option("--title", extract.title, "Title number, as the scan lists it (0..99): the "
                                                            "title set's VOB files taken whole")
          ->check(CLI::Range(0, 99));
  CLI::Option* discTitle =
      extract.command
          ->add_option("--disc-title", extract.discTitles,
                       "The disc's own title T (as players and scan --disc-titles number it): only the cells of "
                       "its programme chain, in programme order; \"all\" or a list such as 1,3-5 extracts each "
                       "of those titles into its own file of the --output folder (or pattern with %d or %02d)")
          ->excludes(title);
  extract.command
      ->add_option("--min-duration", extract.minDuration,
                   "With several disc titles: leave out those shorter than SECONDS (menus, decoys)")
      ->check(CLI::NonNegativeNumber)
      ->needs(discTitle);
  extract.command->add_option("--chapters", extract.chapters, "Chapters A or A-B of the disc title (default: all)")
      ->needs(discTitle);
  extract.command->add_option("--angle", extract.angle, "Angle K of the disc title's angle blocks (default 1)")
      ->check(CLI::Range(1, MAX_ANGLES))
      ->needs(discTitle);
  extract.command
      ->add_option("--audio", extract.audio,
                   "Audio stream: ac3:K for \"AC3 stream #K\", pcm:K for \"PCM stream #K\" (K = 0..7)")
      ->required();
  extract.command->add_flag("--drc", extract.dynamicCompression,
                            "Dynamic Audio Compression (dynamic range compression of AC-3 audio)");
  extract.command
      ->add_option("--output", extract.output,
                   "The MPEG-2 program stream file to write; with several disc titles a folder (files named "
                   "LABEL_t01.mpg) or a pattern such as ep%02d.mpg")
      ->required();
  extract.command->add_flag("--overwrite", extract.overwrite,
                            "Replace an existing output file without asking (without it, an existing file is "
                            "replaced only when the answer on the terminal is yes)");
  extract.command->add_flag("-v,--verbose", extract.verbose,
                            "Report every error in detail, with its offset in the VOB file, instead of one summary");
  extract.command->add_flag("--stop-on-damage", extract.stopOnDamage,
                            "End the extraction at the first damaged stretch of the input (unreadable sectors, "
                            "bytes that are no program stream) instead of skipping to the next whole pack");
}

int RunExtractCommand(const ExtractCommand& extract) {
  if (extract.title < 0 && extract.discTitles.empty()) {
    std::fprintf(stderr, "voltark-cli extract: --title N or --disc-title T is required\n");
    return EXIT_USAGE;
  }
  bool allDiscTitles = false;
  std::vector<int> discTitles;
  if (!extract.discTitles.empty() && !ParseDiscTitleList(extract.discTitles, allDiscTitles, discTitles)) {
    std::fprintf(stderr, "voltark-cli extract: --disc-title must be T, all or a list such as 1,3-5 (1..%d)\n",
                 MAX_DISC_TITLES);
    return EXIT_USAGE;
  }
  const bool several = allDiscTitles || extract.discTitles.find_first_of(",-") != std::string::npos;
  if (several && (!extract.chapters.empty() || extract.angle != 1)) {
    std::fprintf(stderr, "voltark-cli extract: --chapters and --angle need a single --disc-title\n");
    return EXIT_USAGE;
  }
  int firstChapter = 1, lastChapter = 1;
  if (!extract.chapters.empty() && !ParseChapters(extract.chapters, firstChapter, lastChapter)) {
    std::fprintf(stderr, "voltark-cli extract: --chapters must be A or A-B with 1 <= A <= B <= %d\n", MAX_CHAPTERS);
    return EXIT_USAGE;
  }
  int32_t kind = 0;
  uint8_t subStreamId = 0;
  if (!ParseAudio(extract.audio, kind, subStreamId)) {
    std::fprintf(stderr, "voltark-cli extract: --audio must be ac3:K or pcm:K with K = 0..%d\n", MAX_AUDIO_STREAM);
    return EXIT_USAGE;
  }
  if (extract.output.empty() || extract.output.size() >= OUTPUT_PATH_SIZE) {
    std::fprintf(stderr, "voltark-cli extract: --output must name a file in fewer than %d characters\n",
                 OUTPUT_PATH_SIZE);
    return EXIT_USAGE;
  }
  Drive drive = DriveFromArgument(extract.source);
  std::string error;
  if (!CheckSource(drive, error)) {
    std::fprintf(stderr, "VOLTARK: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  DriveList = {drive};
  SelectedDrive = 0;
  ClearDiscTitleNarrowing();
  if (several) return ExtractDiscTitles(extract, allDiscTitles, discTitles, kind, subStreamId, drive);

  const int discTitle = discTitles.empty() ? 0 : discTitles.front();
  int title = extract.title;
  if (discTitle > 0) {
    if (const int status = PlanDiscTitle(extract, discTitle, firstChapter, lastChapter)) return status;
    title = TitleSelection.title;  // the title set the disc title plays from
  }
  if (OutputIsSourceFile(extract.output.c_str())) {
    ShowError(IDS_OUTPUT_IS_INPUT);
    return EXIT_FAILED;
  }
  uint32_t sizeMB = 0;
  if (!TitleSizeMB(title, sizeMB)) return RefuseMissingTitle(title);
  const std::vector<OfferedStream> offered = OfferedStreams(title);
  if (std::none_of(offered.begin(), offered.end(), [&](const OfferedStream& stream) {
        return stream.streamKind == kind && stream.subStreamId == subStreamId;
      })) {
    return RefuseMissingStream(title, extract.audio, offered);
  }
  if (!MayWriteOutput(extract)) return EXIT_FAILED;

  ExtractionJob job;
  job.title = title;
  job.discTitle = discTitle;
  job.firstChapter = firstChapter;
  job.lastChapter = extract.chapters.empty() ? 0 : lastChapter;
  job.angle = extract.angle;
  job.streamKind = kind;
  job.subStreamId = subStreamId;
  job.dynamicCompression = extract.dynamicCompression;
  job.output = extract.output;
  job.checked = true;  // the walk of the check above reports nothing twice
  Batch.jobs = {job};
  return RunBatch(extract);
}
