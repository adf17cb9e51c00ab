// Windows: the arguments arrive in UTF-16 (wmain) and go on in UTF-8, so
// that any path the user types reaches the program whole, whatever the
// console's code page.
#include <string>
#include <vector>

#include "app/cli/cli_main.h"
#include "platform/console.h"

extern "C" int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(ArgumentAsUtf8(argv[i]));
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return CliMain(argc, pointers.data());
}
