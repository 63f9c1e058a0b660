// kestrova-cli: capture, log, measure and talk to the acquisition unit from
// scripts, without a desktop.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return kestrova::cli::RunCommandLine(arguments, std::cout, std::cerr);
}
