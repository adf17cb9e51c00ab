#include "app/cli/scan_command.h"

#include <cstdio>

#include "report/exit_status.h"
#include "report/run_flags.h"
#include "app/scan_session.h"
#include "platform/drives.h"
#include "platform/terminal_ui.h"
#include "report/exit_status.h"
#include "source/dvd_disc.h"
#include "source/title_scanner.h"

namespace {

// For --json: the list goes into the JSON object, not onto stdout;
// messages and status stay on stderr.
class JsonTerminalUi : public TerminalUi {
 public:
  void ListAppend(const std::string&) override {}
};

}  // namespace

void AddScanCommand(CLI::App& app, ScanCommand& scan) {
  scan.command = app.add_subcommand("scan", "List the titles of a DVD and the audio streams of each");
  scan.command
      ->add_option("SOURCE", scan.source,
                   "A folder that holds VIDEO_TS (or the VIDEO_TS folder itself), an image file of a disc "
                   "(dvd.iso), or a DVD drive device such as /dev/sr0, mounted or not")
      ->required();
  scan.command->add_flag("-v,--verbose", scan.verbose,
                         "Report every error in detail, with its offset in the VOB file, instead of one summary");
  scan.command->add_flag("--json", scan.json, "Print the result as one JSON object");
  scan.command->add_flag("--stop-on-damage", scan.stopOnDamage,
                         "End the walk of a title at its first damaged stretch (a scan failure) instead of "
                         "skipping to the next whole pack");
  scan.command->add_flag("--disc-titles", scan.discTitles,
                         "After the list, a table of the disc's own titles (from its IFO files): number, title set, "
                         "duration, chapters, angles and audio streams");
}

int RunScanCommand(const ScanCommand& scan) {
  Drive drive = DriveFromArgument(scan.source);
  std::string error;
  if (!CheckSource(drive, error)) {
    std::fprintf(stderr, "VOLTARK: %s\n", error.c_str());
    return ExitCode(ExitStatus::Failed);
  }
  DriveList = {drive};
  SelectedDrive = 0;
  VerboseErrors = scan.verbose;
  StopOnDamage = scan.stopOnDamage;

  JsonTerminalUi jsonUi;
  if (scan.json) UiInstall(&jsonUi);
  bool succeeded = RunScan();
  if (scan.json) {
    UiInstall(nullptr);
    std::printf("%s\n", ScanReportJson(scan.source, succeeded).c_str());
  } else if (scan.discTitles) {
    for (const std::string& line : DiscTitleLines()) std::printf("%s\n", line.c_str());
  }
  if (!succeeded) return ExitCode(ExitStatus::Failed);
  return ExitCode(TitleScanner.damageSkipped > 0 ? ExitStatus::Damaged : ExitStatus::Done);
}
