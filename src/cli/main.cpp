// kestrova-cli: capture, log, measure and talk to the acquisition unit from
// scripts, without a desktop.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "server/Serve.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");  // NOLINT(concurrency-mt-unsafe): no other thread yet
#ifdef _WIN32
  // Lines end as written ("\n", and the window's files' "\r\n") on every
  // platform, so scripts read the same bytes everywhere.
  (void)_setmode(_fileno(stdout), _O_BINARY);
  (void)_setmode(_fileno(stderr), _O_BINARY);
#endif
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return kestrova::cli::RunCommandLine(arguments, std::cout, std::cerr, kestrova::server::RunServe);
}
