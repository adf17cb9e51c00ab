// voltark-cli extract: one title with one audio stream into an MPEG-2
// program stream file.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

struct ExtractCommand {
  CLI::App* command = nullptr;
  std::string source;
  int title = -1;       // --title; -1 when not given
  int discTitle = 0;    // --disc-title; 0 when not given
  std::string chapters; // "A" or "A-B"; empty: all
  int angle = 1;
  std::string audio;  // audio choices: "ac3:0,en=copy", ...
  bool keepAudio = false;
  bool dynamicCompression = false;
  std::string output;
  bool overwrite = false;  // an existing output file may be replaced without asking
  bool verbose = false;
};

void AddExtractCommand(CLI::App& app, ExtractCommand& extract);

// Runs the extraction in the calling thread. 0 when the walk ended without
// error and the output was closed without error, 1 otherwise (also when an
// existing output file is not to be replaced), 2 for a usage error found
// after parsing (a title, chapter, angle or stream the disc lacks).
int RunExtractCommand(const ExtractCommand& extract);
