// Linux: the arguments arrive as the user's locale gives them (UTF-8).
#include "app/cli/cli_main.h"

int main(int argc, char** argv) { return CliMain(argc, argv); }
