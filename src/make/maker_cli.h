// The command line of updater-make: its options, what it says while it works, and its exit
// status (0 made, 1 not made, 2 a command line it does not understand).
#pragma once

#include <ostream>
#include <string>
#include <vector>

// `args` are the arguments after the program's name.
int runMaker(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
