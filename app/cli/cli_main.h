// The command line's work, called by the system's entry point with the
// arguments in UTF-8.
#pragma once

int CliMain(int argc, char** argv);
