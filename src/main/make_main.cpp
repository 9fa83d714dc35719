// updater-make: the entry point of the program that makes an update from two versions of an
// application, a console program.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "make/maker_cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Whatever escapes the maker leaves no update: said, and exit 1.
    try {
        return runMaker(args, std::cout, std::cerr);
    } catch (const std::exception& unexpected) {
        std::cerr << "updater-make: " << unexpected.what() << "\n";
    } catch (...) {
        std::cerr << "updater-make: an unexpected failure\n";
    }
    return 1;
}
