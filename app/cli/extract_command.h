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
  std::string audio;  // "ac3:K" or "pcm:K"
  bool dynamicCompression = false;
  std::string output;
  bool verbose = false;
  bool stopOnDamage = false;
};

void AddExtractCommand(CLI::App& app, ExtractCommand& extract);

// Runs the extraction in the calling thread. 0 when the walk ended without
// error and the output was closed without error, 1 otherwise, 2 for a usage
// error found after parsing.
int RunExtractCommand(const ExtractCommand& extract);
