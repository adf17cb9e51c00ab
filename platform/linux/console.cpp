#include "platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/terminal_ui.h"

void ConsolePrepare() {}

bool StderrIsConsole() { return isatty(STDERR_FILENO) == 1; }

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

unsigned TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}
