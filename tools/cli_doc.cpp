// Writes docs/cli.md from the programs' option tables: `cmake --build build --target cli-doc`.
#include <fstream>
#include <iostream>

#include "fit/Help.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vornak-cli-doc FILE\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << fit::cliMarkdown();
  out.close();
  if (!out) {
    std::cerr << "vornak-cli-doc: cannot write " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
