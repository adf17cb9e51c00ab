#include "app/cli/extract_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "extract/title_selection.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "extract/extraction_driver.h"
#include "extract/extraction_request.h"
#include "platform/drives.h"
#include "platform/terminal_ui.h"
#include "source/title_scanner.h"

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
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

}  // namespace

void AddExtractCommand(CLI::App& app, ExtractCommand& extract) {
  extract.command = app.add_subcommand("extract", "Extract one title with one audio stream into an MPEG-2 file");
  extract.command
      ->add_option("SOURCE", extract.source,
                   "A folder that holds VIDEO_TS (or the VIDEO_TS folder itself), or a mounted DVD drive device "
                   "such as /dev/sr0")
      ->required();
  extract.command->add_option("--title", extract.title, "Title number, as the scan lists it (0..99)")
      ->required()
      ->check(CLI::Range(0, 99));
  extract.command
      ->add_option("--audio", extract.audio,
                   "Audio stream: ac3:K for \"AC3 stream #K\", pcm:K for \"PCM stream #K\" (K = 0..7)")
      ->required();
  extract.command->add_flag("--drc", extract.dynamicCompression,
                            "Dynamic Audio Compression (dynamic range compression of AC-3 audio)");
  extract.command->add_option("--output", extract.output, "The MPEG-2 program stream file to write")->required();
  extract.command->add_flag("-v,--verbose", extract.verbose,
                            "Report every error in detail, with its offset in the VOB file, instead of one summary");
}

int RunExtractCommand(const ExtractCommand& extract) {
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
  std::string root, error;
  if (!ResolveSourceRoot(drive, root, error)) {
    std::fprintf(stderr, "VOLTARK: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  DriveList = {drive};
  SelectedDrive = 0;

  if (OutputIsTitleFile(extract.output.c_str(), extract.title)) {
    ShowError(IDS_OUTPUT_IS_INPUT);
    return EXIT_FAILED;
  }
  uint32_t sizeMB = 0;
  if (!TitleSizeMB(extract.title, sizeMB)) return RefuseMissingTitle(extract.title);
  const std::vector<OfferedStream> offered = OfferedStreams(extract.title);
  if (std::none_of(offered.begin(), offered.end(), [&](const OfferedStream& stream) {
        return stream.streamKind == kind && stream.subStreamId == subStreamId;
      })) {
    return RefuseMissingStream(extract.title, extract.audio, offered);
  }

  VerboseErrors = extract.verbose;  // the walk of the check above reports nothing twice
  TitleSelection.title = extract.title;
  TitleSelection.sizeMB = static_cast<int32_t>(sizeMB);
  TitleSelection.streamKind = kind;
  TitleSelection.subStreamId = subStreamId;
  if (kind == STREAM_KIND_AC3) TitleSelection.dynamicCompression = extract.dynamicCompression;
  std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "%s", extract.output.c_str());

  TerminalUi ui;
  UiInstall(&ui);
  AbortFlag = false;  // as a progress dialog does before it starts its worker
  ExtractionWorker();
  UiInstall(nullptr);
  return !ExtractionFailed() && ExtractionOutputClosed() ? 0 : EXIT_FAILED;
}
