#include "app/cli/extract_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/disc_catalog.h"
#include "app/disc_title_choice.h"
#include "app/extraction_job.h"
#include "app/job_check.h"
#include "app/job_selection.h"
#include "extract/title_selection.h"
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
                     "voltark-cli extract: %s cannot be re-encoded: VOLTARK has no decoder for it; keep it as it is "
                     "with %s=copy\n",
                     subject, subject);
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
int PlanDiscTitle(const ExtractCommand& extract, const DiscTitleTable& table, int firstChapter, int lastChapter) {
  std::string error;
  const DiscTitle* chosen = FindDiscTitle(table, extract.discTitle, error);
  if (chosen == nullptr || !NarrowToDiscTitle(*chosen, firstChapter, extract.chapters.empty() ? 0 : lastChapter,
                                              extract.angle, error)) {
    std::fprintf(stderr, "VOLTARK: %s: %s\n", extract.source.c_str(), error.c_str());
    return DiscTitleRefused(table, extract.discTitle) ? EXIT_FAILED : EXIT_USAGE;
  }
  return 0;
}

ExtractionJob JobOf(const ExtractCommand& extract, const std::vector<AudioChoice>& choices, int firstChapter,
                   int lastChapter) {
  ExtractionJob job;
  job.source = extract.source;
  job.title = extract.title;
  job.discTitle = extract.discTitle;
  job.firstChapter = firstChapter;
  job.lastChapter = extract.chapters.empty() ? 0 : lastChapter;
  job.angle = extract.angle;
  job.audio = choices;
  job.keepAudio = extract.keepAudio;
  job.dynamicCompression = extract.dynamicCompression;
  job.output = extract.output;
  return job;
}

// The catalog of the one title read: the streams the walk of its beginning
// meets (as the scan lists them), named by the IFO files.
DiscCatalog CatalogOfTitle(int title, uint32_t sizeMB, const DiscTitleTable& disc) {
  ScanTitleStreams(title, sizeMB);  // a failed walk still lists what it met
  DiscCatalog catalog;
  catalog.disc = disc;
  catalog.titles.push_back(
      CatalogTitleOf(title, static_cast<int>(sizeMB), StreamsSeenByLastWalk(), TitleSetAudio(disc, title)));
  return catalog;
}

// An existing file is replaced only with --overwrite or when the user says
// so on the terminal; without a terminal to ask on, it is left as it was.
bool MayWriteOutput(const ExtractCommand& extract) {
  if (extract.overwrite || !PathExists(extract.output)) return true;
  if (StdinIsTerminal() && AskYesNo("voltark-cli extract: " + extract.output + " exists. Overwrite it?")) return true;
  std::fprintf(stderr,
               "voltark-cli extract: %s exists and was left as it was; give --overwrite to replace it\n",
               extract.output.c_str());
  return false;
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
          ->add_option("--disc-title", extract.discTitle,
                       "The disc's own title T (as players and scan --disc-titles number it): only the cells of "
                       "its programme chain, in programme order")
          ->check(CLI::Range(1, MAX_DISC_TITLES))
          ->excludes(title);
  extract.command->add_option("--chapters", extract.chapters, "Chapters A or A-B of the disc title (default: all)")
      ->needs(discTitle);
  extract.command->add_option("--angle", extract.angle, "Angle K of the disc title's angle blocks (default 1)")
      ->check(CLI::Range(1, MAX_ANGLES))
      ->needs(discTitle);
  extract.command
      ->add_option("--audio", extract.audio,
                   "Audio tracks, comma-separated in output order: ac3:K, pcm:K, dts:K (K = 0..7) or mpeg:K "
                   "(K = 0..31) as scan lists them, a language code from the IFO files (en: every track of that "
                   "language) or all; each may end in =copy (kept as on the disc) or =mp2 (re-encoded as MPEG-1 "
                   "Layer II, the default). DTS and MPEG audio cannot be re-encoded")
      ->required();
  extract.command->add_flag("--keep-audio", extract.keepAudio,
                            "Keep the audio tracks as they are on the disc unless an item says =mp2");
  extract.command->add_flag("--drc", extract.dynamicCompression,
                            "Dynamic Audio Compression (dynamic range compression) of the AC-3 tracks that are "
                            "decoded and re-encoded; kept tracks are left as they are");
  extract.command->add_option("--output", extract.output, "The MPEG-2 program stream file to write")->required();
  extract.command->add_flag("--overwrite", extract.overwrite,
                            "Replace an existing output file without asking (without it, an existing file is "
                            "replaced only when the answer on the terminal is yes)");
  extract.command->add_flag("-v,--verbose", extract.verbose,
                            "Report every error in detail, with its offset in the VOB file, instead of one summary");
}

int RunExtractCommand(const ExtractCommand& extract) {
  if (extract.title < 0 && extract.discTitle == 0) {
    std::fprintf(stderr, "voltark-cli extract: --title N or --disc-title T is required\n");
    return EXIT_USAGE;
  }
  int firstChapter = 1, lastChapter = 1;
  if (!extract.chapters.empty() && !ParseChapters(extract.chapters, firstChapter, lastChapter)) {
    std::fprintf(stderr, "voltark-cli extract: --chapters must be A or A-B with 1 <= A <= B <= %d\n", MAX_CHAPTERS);
    return EXIT_USAGE;
  }
  std::vector<AudioChoice> choices;
  std::string audioError;
  if (!ParseAudioChoices(extract.audio, choices, audioError)) {
    std::fprintf(stderr, "voltark-cli extract: --audio: %s\n", audioError.c_str());
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
  // The disc's own titles: the one asked, and the languages of the audio.
  const DiscTitleTable discTable = ReadDiscTitles();
  int title = extract.title;
  if (extract.discTitle > 0) {
    if (const int status = PlanDiscTitle(extract, discTable, firstChapter, lastChapter)) return status;
    title = TitleSelection.title;  // the title set the disc title plays from
  }
  if (OutputIsSourceFile(extract.output.c_str())) {
    ShowError(IDS_OUTPUT_IS_INPUT);
    return EXIT_FAILED;
  }
  uint32_t sizeMB = 0;
  if (!TitleSizeMB(title, sizeMB)) return RefuseMissingTitle(title);
  const ExtractionJob job = JobOf(extract, choices, firstChapter, lastChapter);
  const JobCheck check = CheckJob(CatalogOfTitle(title, sizeMB, discTable), job);
  if (TellProblems(check)) return EXIT_USAGE;
  if (!WorkerWritesTracks(check)) {
    std::fprintf(stderr, "voltark-cli extract: this version writes one re-encoded AC3 or PCM stream only\n");
    return EXIT_USAGE;
  }
  if (!MayWriteOutput(extract)) return EXIT_FAILED;
  // A program stream has no language tags: what each stream is, is told here
  // whenever there is more than today's one re-encoded track.
  if (check.tracks.size() > 1 || check.tracks[0].copy)
    for (const std::string& line : TrackMapLines(check.tracks)) std::printf("%s\n", line.c_str());
  std::fflush(stdout);

  VerboseErrors = extract.verbose;  // the walk of the check above reports nothing twice
  // A disc title's size is that of the cells it walks, set with its plan.
  if (extract.discTitle == 0) TitleSelection.sizeMB = static_cast<int32_t>(sizeMB);
  SelectCheckedJob(job, check);

  TerminalUi ui;
  UiInstall(&ui);
  AbortFlag = false;  // as a progress dialog does before it starts its worker
  ExtractionWorker();
  UiInstall(nullptr);
  ClearDiscTitleNarrowing();
  return !ExtractionFailed() && ExtractionOutputClosed() ? 0 : EXIT_FAILED;
}
