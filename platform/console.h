// The console the command line runs in: UTF-8 text both ways, the progress
// line's terminal control, and Ctrl-C.
#pragma once

#include <string>

// Prepares the console for UTF-8 output and terminal control sequences
// (Windows' console needs both switched on; Linux needs nothing).
void ConsolePrepare();

// True when standard error is a terminal (a console window on Windows).
bool StderrIsConsole();

// Calls onInterrupt on Ctrl-C (SIGINT on Linux, SetConsoleCtrlHandler on
// Windows). The first interruption goes to onInterrupt; a second ends the
// program at once, as the system's default does.
void InstallInterruptHandler(void (*onInterrupt)());

// Windows only: a command-line argument as Windows passes it to wmain, in
// UTF-8.
std::string ArgumentAsUtf8(const wchar_t* argument);
