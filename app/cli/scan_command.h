// `voltark-cli scan SOURCE [--verbose] [--json] [--disc-titles]`: lists the titles and
// streams of a disc or DVD folder, as the main window's title list does.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

struct ScanCommand {
  CLI::App* command = nullptr;
  std::string source;
  bool verbose = false;
  bool json = false;
  bool discTitles = false;
  bool stopOnDamage = false;
};

// Adds the subcommand and its options to the program's parser.
void AddScanCommand(CLI::App& app, ScanCommand& scan);

// Runs a parsed scan command; returns the exit status (0 = no failure,
// 1 = a failure occurred or there is no source).
int RunScanCommand(const ScanCommand& scan);
