#include "app/cli/extract_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/disc_catalog.h"
#include "app/disc_title_batch.h"
#include "app/disc_title_choice.h"
#include "app/extraction_batch.h"
#include "app/extraction_job.h"
#include "app/extraction_report.h"
#include "app/job_check.h"
#include "app/job_selection.h"
#include "app/subtitle_choice.h"
#include "extract/subtitle_selection.h"
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
// A request the disc cannot meet is a usage error that names what it has;
// nothing has been opened for writing yet.
int RefuseMissingTitle(int title) {
  std::string titles;
  for (int32_t listed : ListedTitles()) titles += (titles.empty() ? "" : ", ") + std::to_string(listed);
  std::fprintf(stderr, "voltark-cli extract: the source has no title %d; its titles: %s\n", title,
               titles.empty() ? "none" : titles.c_str());
  return EXIT_USAGE;
}

// The problems of the check in the command line's words: usage errors and
// notes on stderr. True when the request is refused.
bool TellProblems(const JobCheck& check) {
  for (const JobProblem& problem : check.problems) {
    const char* subject = problem.subject.c_str();
    switch (problem.code) {
      case JobProblemCode::NoTitle:
        RefuseMissingTitle(check.title);
        break;
      case JobProblemCode::NoAudio:
        std::fprintf(stderr, "voltark-cli extract: --audio names no stream; title %d's audio streams: %s\n",
                     check.title, problem.offered.c_str());
        break;
      case JobProblemCode::NoStream:
        std::fprintf(stderr, "voltark-cli extract: title %d has no audio stream %s; its audio streams: %s\n",
                     check.title, subject, problem.offered.c_str());
        break;
      case JobProblemCode::NoLanguage:
        std::fprintf(stderr, "voltark-cli extract: title %d has no audio stream in language %s; its audio streams: %s\n",
                     check.title, subject, problem.offered.c_str());
        break;
      case JobProblemCode::NoDecoder:
        std::fprintf(stderr,
                     "voltark-cli extract: %s (\"%s stream #%s\") cannot be re-encoded: VOLTARK has no decoder for "
                     "it; keep it as it is with %s=copy\n",
                     subject, problem.subject.rfind("dts", 0) == 0 ? "DTS" : "MPEG",
                     problem.subject.substr(problem.subject.find(':') + 1).c_str(), subject);
        break;
      case JobProblemCode::KeptUndecodable:
        std::fprintf(stderr, "voltark-cli extract: %s is kept as it is: VOLTARK has no decoder for it\n", subject);
        break;
      case JobProblemCode::TooManyTracks:
        std::fprintf(stderr, "voltark-cli extract: more than 8 %s output tracks\n",
                     problem.subject == "mpeg" ? "MPEG audio" : subject);
        break;
    }
  }
  return check.Refused();
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
int PlanDiscTitle(const ExtractCommand& extract, const DiscTitleTable& table, int discTitle, int firstChapter,
                  int lastChapter) {
  std::string error;
  const DiscTitle* chosen = FindDiscTitle(table, discTitle, error);
  if (chosen == nullptr || !NarrowToDiscTitle(*chosen, firstChapter, extract.chapters.empty() ? 0 : lastChapter,
                                              extract.angle, error)) {
    std::fprintf(stderr, "VOLTARK: %s: %s\n", extract.source.c_str(), error.c_str());
    return DiscTitleRefused(table, discTitle) ? EXIT_FAILED : EXIT_USAGE;
  }
  return 0;
}

ExtractionJob JobOf(const ExtractCommand& extract, const std::vector<AudioChoice>& choices, int discTitle,
                   int firstChapter, int lastChapter) {
  ExtractionJob job;
  job.source = extract.source;
  job.title = extract.title;
  job.discTitle = discTitle;
  job.firstChapter = firstChapter;
  job.lastChapter = extract.chapters.empty() ? 0 : lastChapter;
  job.angle = extract.angle;
  job.audio = choices;
  job.keepAudio = extract.keepAudio;
  job.dynamicCompression = extract.dynamicCompression;
  job.output = extract.output;
  return job;
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

// The files an extraction writes: the program stream (unless only the
// subtitles are asked), and the VobSub pair beside it.
std::vector<std::string> WrittenFiles(const ExtractCommand& extract, const std::string& output) {
  std::vector<std::string> files;
  if (!extract.subsOnly) files.push_back(output);
  if (!extract.subs.empty()) {
    files.push_back(VobSubPath(output, ".idx"));
    files.push_back(VobSubPath(output, ".sub"));
  }
  return files;
}

// Every file of the output is checked as the output is: never one of the
// disc's files, never replaced without a word. False after the message.
bool MayWriteFiles(const ExtractCommand& extract, const std::string& output) {
  for (const std::string& file : WrittenFiles(extract, output)) {
    if (OutputIsSourceFile(file.c_str())) {
      ShowError(IDS_OUTPUT_IS_INPUT);
      return false;
    }
    if (!MayWriteFile(extract, file)) return false;
  }
  return true;
}

bool MayWriteOutput(const ExtractCommand& extract) { return MayWriteFiles(extract, extract.output); }

// Subtitles without IFO files have no colour table: players show them in
// colours of their own.
void WarnWithoutPalette(const ExtractCommand& extract) {
  if (extract.subs.empty() || ReadDiscTitles().found) return;
  std::fprintf(stderr, "VOLTARK: warning: the source has no IFO files: %s has no palette line\n",
               VobSubPath(extract.output, ".idx").c_str());
}

// For --json: stdout holds the report alone; messages, status and progress
// stay on stderr.
class JsonTerminalUi : public TerminalUi {
 public:
  void ListAppend(const std::string&) override {}
};

// The worst of the titles.
int RunBatch(const ExtractCommand& extract) {
  Batch.options.stopIsNotDone = true;
  VerboseErrors = extract.verbose;
  StopOnDamage = extract.stopOnDamage;
  TerminalUi terminal;
  JsonTerminalUi json;
  TerminalUi& ui = extract.json ? json : terminal;
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
int ExtractDiscTitles(const ExtractCommand& extract, bool all, std::vector<int> numbers,
                      const std::vector<AudioChoice>& choices, const std::vector<SubtitleChoice>& subtitles,
                      const Drive& drive) {
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
    job.source = extract.source;
    job.discTitle = number;
    job.audio = choices;
    job.keepAudio = extract.keepAudio;
    job.dynamicCompression = extract.dynamicCompression;
    job.output = BatchOutputFile(extract.output, base, number);
    job.subtitles = subtitles;
    job.subsOnly = extract.subsOnly;
    // Every file of the batch is checked before the first is written.
    if (!MayWriteFiles(extract, job.output)) return EXIT_FAILED;
    Batch.jobs.push_back(job);
  }
  return RunBatch(extract);
}

}  // namespace

void AddExtractCommand(CLI::App& app, ExtractCommand& extract) {
  extract.command = app.add_subcommand(
      "extract", "Extract a title (or several disc titles) with its audio tracks and subtitles into an MPEG-2 file");
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
  extract.command->add_option(
      "--audio", extract.audio,
      "Audio tracks, comma-separated in output order: ac3:K, pcm:K, dts:K (K = 0..7) or mpeg:K (K = 0..31) as scan "
      "lists them, a language code from the IFO files (en: every track of that language) or all; each may end in "
      "=copy (kept as on the disc) or =mp2 (re-encoded as MPEG-1 Layer II, the default). DTS and MPEG audio cannot "
      "be re-encoded. Required unless --subs-only");
  extract.command->add_flag("--keep-audio", extract.keepAudio,
                            "Keep the audio tracks as they are on the disc unless an item says =mp2");
  CLI::Option* subs = extract.command->add_option(
      "--subs", extract.subs,
      "Subtitle streams kept as a VobSub pair beside the output (NAME.idx, NAME.sub): sub:N (the disc's logical "
      "sub-picture stream N; sub-stream 0x20+N without IFO files), language codes (en,fr) or all");
  extract.command->add_flag("--subs-only", extract.subsOnly, "Write only the VobSub pair of --subs, no MPEG-2 file")
      ->needs(subs);
  extract.command->add_flag("--drc", extract.dynamicCompression,
                            "Dynamic Audio Compression (dynamic range compression) of the AC-3 tracks that are "
                            "decoded and re-encoded; kept tracks are left as they are");
  extract.command
      ->add_option("--output", extract.output,
                   "The MPEG-2 program stream file to write; with several disc titles a folder (files named "
                   "LABEL_t01.mpg) or a pattern such as ep%02d.mpg")
      ->required();
  extract.command->add_flag("--overwrite", extract.overwrite,
                            "Replace an existing output file without asking (without it, an existing file is "
                            "replaced only when the answer on the terminal is yes)");
  extract.command->add_flag("--json", extract.json,
                            "At the end print one JSON object on stdout: the output file, the title, the outcome "
                            "and exit status, damage skipped, and for each output stream its id (0xBD/0x80, "
                            "0xC0, 0xBD/0x20), kind, format, language, whether it is kept as on the disc and the "
                            "selector it came from; with several disc titles one object with an array of jobs. "
                            "The stream lines otherwise printed on stdout go to stderr");
  extract.command->add_flag("-v,--verbose", extract.verbose,
                            "Report every error in detail, with its offset in the VOB file, instead of one summary");
  extract.command->add_flag("--stop-on-damage", extract.stopOnDamage,
                            "End the extraction at the first damaged stretch of the input (unreadable sectors, "
                            "bytes that are no program stream) instead of skipping to the next whole pack");
}

int RunExtractCommand(const ExtractCommand& extract) {
  Batch.jobs.clear();
  Batch.results.clear();
  std::string error;
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
  std::vector<SubtitleChoice> subtitles;
  if (!extract.subs.empty() && !ParseSubtitleChoices(extract.subs, subtitles, error)) {
    std::fprintf(stderr, "voltark-cli extract: --subs: %s\n", error.c_str());
    return EXIT_USAGE;
  }
  if (extract.audio.empty() && !extract.subsOnly) {
    std::fprintf(stderr, "voltark-cli extract: --audio is required (unless --subs-only)\n");
    return EXIT_USAGE;
  }
  std::vector<AudioChoice> choices;
  std::string audioError;
  if (!extract.audio.empty() && !ParseAudioChoices(extract.audio, choices, audioError)) {
    std::fprintf(stderr, "voltark-cli extract: --audio: %s\n", audioError.c_str());
    return EXIT_USAGE;
  }
  if (extract.output.empty() || extract.output.size() >= OUTPUT_PATH_SIZE) {
    std::fprintf(stderr, "voltark-cli extract: --output must name a file in fewer than %d characters\n",
                 OUTPUT_PATH_SIZE);
    return EXIT_USAGE;
  }
  Drive drive = DriveFromArgument(extract.source);
  if (!CheckSource(drive, error)) {
    std::fprintf(stderr, "VOLTARK: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  DriveList = {drive};
  SelectedDrive = 0;
  ClearDiscTitleNarrowing();
  WarnWithoutPalette(extract);
  if (several) return ExtractDiscTitles(extract, allDiscTitles, discTitles, choices, subtitles, drive);

  // The disc's own titles: the one asked, and the languages of the audio.
  const DiscTitleTable discTable = ReadDiscTitles();
  const int discTitle = discTitles.empty() ? 0 : discTitles.front();
  int title = extract.title;
  if (discTitle > 0) {
    if (const int status = PlanDiscTitle(extract, discTable, discTitle, firstChapter, lastChapter)) return status;
    title = TitleSelection.title;  // the title set the disc title plays from
  }
  for (const std::string& file : WrittenFiles(extract, extract.output)) {
    if (!OutputIsSourceFile(file.c_str())) continue;
    ShowError(IDS_OUTPUT_IS_INPUT);
    return EXIT_FAILED;
  }
  uint32_t sizeMB = 0;
  if (!TitleSizeMB(title, sizeMB)) return RefuseMissingTitle(title);
  const ExtractionJob job = JobOf(extract, choices, discTitle, firstChapter, lastChapter);
  const JobCheck check = CheckJob(CatalogOfTitle(title, sizeMB, discTable), job);
  if (!subtitles.empty()) {
    // The title's subtitle streams, from the walk above where the disc has no IFO files.
    std::vector<uint8_t> walked;
    for (int i = 0; i < SUBPICTURE_STREAM_SLOTS; ++i)
      if (TitleScanner.subpictureSeen[i]) walked.push_back(static_cast<uint8_t>(0x20 + i));
    const DiscTitle* chosen = discTitle > 0 ? FindDiscTitle(discTable, discTitle, error) : nullptr;
    if (!PrepareSubtitles(subtitles, extract.subsOnly, discTable, chosen, firstChapter, title, walked,
                          extract.output, error)) {
      std::fprintf(stderr, "voltark-cli extract: %s\n", error.c_str());
      return EXIT_USAGE;
    }
  }
  if (!extract.subsOnly && TellProblems(check)) return EXIT_USAGE;
  if (!extract.subsOnly && !WorkerWritesTracks(check)) {
    std::fprintf(stderr, "voltark-cli extract: at most %u tracks can be re-encoded; keep the others with =copy\n",
                 1u + MORE_REENCODED_TRACKS);
    return EXIT_USAGE;
  }
  if (!MayWriteOutput(extract)) return EXIT_FAILED;
  // A program stream has no language tags: what each stream is, is told here
  // whenever there is more than today's one re-encoded track.
  // With --json the report says it, and stdout holds the report alone.
  if (!extract.subsOnly && (check.tracks.size() > 1 || check.tracks[0].copy))
    for (const std::string& line : TrackMapLines(check.tracks))
      std::fprintf(extract.json ? stderr : stdout, "%s\n", line.c_str());
  std::fflush(stdout);

  ExtractionJob checkedJob = job;
  checkedJob.title = title;
  checkedJob.subtitles = subtitles;
  checkedJob.subsOnly = extract.subsOnly;
  checkedJob.checked = true;  // the walk of the check above reports nothing twice
  checkedJob.tracks = check.tracks;
  Batch.jobs = {checkedJob};
  return RunBatch(extract);
}

void PrintExtractReport(const ExtractCommand& extract, int exitStatus) {
  if (!extract.json) return;
  bool all = false;
  std::vector<int> numbers;
  const bool several = !extract.discTitles.empty() && ParseDiscTitleList(extract.discTitles, all, numbers) &&
                       (all || extract.discTitles.find_first_of(",-") != std::string::npos);
  std::printf("%s\n", ExtractionReportJson(extract.source, extract.output, several, exitStatus).c_str());
  std::fflush(stdout);
}
