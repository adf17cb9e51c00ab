#include "app/command_line.h"

#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"

bool ParseCommandLine(const std::string& commandLine) {
  size_t i = 0;
  while (i < commandLine.size()) {
    char c = commandLine[i];
    if (c == ' ') {
      ++i;
      continue;
    }
    bool verboseSwitch = c == '/' && i + 1 < commandLine.size() &&
                         (commandLine[i + 1] == 'V' || commandLine[i + 1] == 'v');
    if (!verboseSwitch) {
      ShowError(IDS_COMMAND_LINE);
      return false;
    }
    VerboseErrors = true;
    i += 2;
  }
  return true;
}

std::string JoinArguments(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

std::string TerminalAnswer(int argc, char** argv, const std::string& version) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--version") return "voltark " + version + "\n";
    if (argument == "--help" || argument == "-h") {
      return "Usage: voltark [/V]\n"
             "The desktop program of VOLTARK: lists the titles of a DVD and extracts one title with one\n"
             "audio stream into an MPEG-2 program stream file.\n"
             "  /V         show every detailed error, with its offset in the VOB file\n"
             "  --help     show this text; --version: the version\n"
             "Sources: the DVD drives found, then the folders (holding VIDEO_TS) and disc image files\n"
             "of the colon-separated VOLTARK_DRIVES variable, e.g. VOLTARK_DRIVES=/path/to/dvd.iso voltark\n"
             "For the command line, see voltark-cli --help.\n";
    }
  }
  return "";
}
