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
