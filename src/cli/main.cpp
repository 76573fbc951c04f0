#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) { return rowsmith::cli::Main(argc, argv, std::cin, std::cout, std::cerr); }
