// The command line of updater-check: its options, the findings in compiler form or as
// JSON, the plan, and the exit status (0 no error, 1 errors, 2 the script cannot be read).
#pragma once

#include <ostream>
#include <string>
#include <vector>

// `args` are the arguments after the program's name.
int runChecker(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
