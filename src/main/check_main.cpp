// updater-check: the entry point of the script checker, a console program on both builds.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "check/checker_cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Whatever escapes the checker is a script it could not read through: said, and exit 2.
    try {
        return runChecker(args, std::cout, std::cerr);
    } catch (const std::exception& unexpected) {
        std::cerr << "updater-check: " << unexpected.what() << "\n";
    } catch (...) {
        std::cerr << "updater-check: an unexpected failure\n";
    }
    return 2;
}
