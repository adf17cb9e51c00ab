// The desktop program.
#include "app/gui/startup.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
