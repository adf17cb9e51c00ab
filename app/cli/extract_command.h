// voltark-cli extract: one title with one audio stream into an MPEG-2
// program stream file, or several of the disc's own titles, each into its
// own file.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

struct ExtractCommand {
  CLI::App* command = nullptr;
  std::string source;
  int title = -1;       // --title; -1 when not given
  std::string discTitles;  // --disc-title: "T", "all" or a list "1,3-5"; empty when not given
  double minDuration = 0;  // --min-duration SECONDS
  std::string chapters; // "A" or "A-B"; empty: all
  int angle = 1;
  std::string audio;  // audio choices: "ac3:0,en=copy", ...
  bool keepAudio = false;
  bool dynamicCompression = false;
  std::string output;
  bool overwrite = false;  // an existing output file may be replaced without asking
  bool verbose = false;
  bool stopOnDamage = false;
  std::string subs;       // --subs LIST; empty: no subtitles kept
  bool subsOnly = false;  // --subs-only: only the VobSub pair is written
  bool json = false;      // --json: one JSON object on stdout at the end
};

void AddExtractCommand(CLI::App& app, ExtractCommand& extract);

// Runs the extraction (or the batch) in the calling thread and gives the
// exit status (report/exit_status.h): the worst of the titles (1 also when an
// existing output file is not to be replaced), 2 for a usage error found after
// parsing (a title, chapter, angle or stream the disc lacks). A stop signal's
// status is the caller's.
int RunExtractCommand(const ExtractCommand& extract);

// With --json: the run's report (app/extraction_report.h) on stdout, given
// the run's final exit status.
void PrintExtractReport(const ExtractCommand& extract, int exitStatus);
