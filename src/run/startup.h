// Start-up: the caption, the script beside the executable, the symbols, UPDATER; and the
// whole run from arguments to clean-up.
#pragma once

#include <string>

#include "text/text.h"

struct RunContext;

// The first word of the command line without its double quotes; false when there is none.
bool captionFromCommandLine(const Text& commandLine, Text& caption);

// The script beside an executable: its file name's extension replaced by "ini", or ".ini"
// appended when the file name has no dot.
Text scriptPathFor(const Text& executablePath);

bool readUpdaterSection(RunContext& run);
// `modulePath`: the executable's full path, script form, which the script lies beside.
bool startup(RunContext& run, const char* arguments, const std::string& modulePath);

// Everything the entry point does between setting up and tearing down the platform, with
// the command kinds the run's table already holds, for the executable at `modulePath`.
// Nothing escapes it: whatever a command throws ends the run as a failed command.
void runUpdater(RunContext& run, const char* arguments, const std::string& modulePath);
