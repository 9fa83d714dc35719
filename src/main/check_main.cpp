// updater-check: the entry point of the script checker, a console program on both builds.
#include <iostream>
#include <string>
#include <vector>

#include "check/checker_cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return runChecker(args, std::cout, std::cerr);
}
