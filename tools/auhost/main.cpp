// auhost: loads Audio Unit bundles the way a host does and reports on them or renders audio files through them.

#include "tools/auhost/Cli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  return auhost::RunCommandLine(args, std::cout, std::cerr);
}
