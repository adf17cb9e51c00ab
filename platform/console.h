// The console the command line runs in: UTF-8 text both ways and the
// progress line's terminal control. (Ctrl-C: platform/stop_signals.h;
// StdinIsTerminal and TerminalColumns: platform/terminal_ui.h.)
#pragma once

#include <string>

// Prepares the console for UTF-8 output and terminal control sequences
// (Windows' console needs both switched on; Linux needs nothing).
void ConsolePrepare();

// True when standard error is a terminal (a console window on Windows).
bool StderrIsConsole();

// Windows only: a command-line argument as Windows passes it to wmain, in
// UTF-8.
std::string ArgumentAsUtf8(const wchar_t* argument);
