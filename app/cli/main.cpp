// voltark-cli: the command-line front end. Each subcommand lives in a file
// of its own and is dispatched from here.
#include <CLI/CLI.hpp>

#include "app/cli/extract_command.h"
#include "app/cli/scan_command.h"
#include "platform/stop_signals.h"
#include "report/exit_status.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "app/cli/cli_main.h"
#include "platform/console.h"
#include "platform/work_buffers.h"

namespace {

constexpr int EXIT_USAGE = 2;

// A run that a stop signal ended says so in its status, whatever its work
// reached: a script tells a stopped run from a finished one.
int WithStopSignal(int code) {
  ExitStatus status = static_cast<ExitStatus>(code);
  if (StopSignalReceived() == StopSignal::Interrupt) status = WorstExitStatus(status, ExitStatus::Interrupted);
  if (StopSignalReceived() == StopSignal::Terminate) status = WorstExitStatus(status, ExitStatus::Terminated);
  return ExitCode(status);
}

}  // namespace

int CliMain(int argc, char** argv) {
  ConsolePrepare();
  CLI::App app{"VOLTARK: turns a title of a PAL video DVD into one MPEG-2 program stream file.", "voltark-cli"};
  app.set_version_flag("--version", "voltark-cli " VOLTARK_VERSION);
  app.require_subcommand(1);
  // The same options on every system: an argument starting with '/' is a
  // path, never a Windows-style option.
  app.allow_windows_style_options(false);
  app.footer(EXIT_STATUS_HELP);

  ScanCommand scan;
  AddScanCommand(app, scan);
  ExtractCommand extract;
  AddExtractCommand(app, extract);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);  // prints help, the version or the error
    return status == 0 ? 0 : EXIT_USAGE;
  }

  if (!AllocateWorkBuffers()) {
    ShowError(IDS_NO_BUFFER);
    return 1;
  }
  // The first Ctrl-C or SIGTERM stops the running work as the Stop button
  // does; a second one ends the program at once.
  StopSignalsInstall(&AbortFlag, &StopRequested);
  if (scan.command->parsed()) return WithStopSignal(RunScanCommand(scan));
  if (extract.command->parsed()) {
    const int status = WithStopSignal(RunExtractCommand(extract));
    PrintExtractReport(extract, status);
    return status;
  }
  return EXIT_USAGE;
}
