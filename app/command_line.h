// The program's command line: blanks and any number of verbose switches.
#pragma once

#include <string>

// Scans the characters of the command line (the arguments after the program
// name, joined by blanks). A blank is skipped; '/' followed by 'V' or 'v'
// turns on VerboseErrors. Anything else shows message 142 and ends the scan:
// what was parsed before the fault stays in effect and start-up goes on.
// Returns false when message 142 was shown.
bool ParseCommandLine(const std::string& commandLine);

// The arguments after the program name joined by single blanks, as the
// platform would hand a GUI program its command line.
std::string JoinArguments(int argc, char** argv);

// The answer to --help (or -h) and --version among the arguments, written on
// the terminal instead of opening the window: the text to print, empty when
// neither is asked.
std::string TerminalAnswer(int argc, char** argv, const std::string& version);
