// What a run's log says at its start and at its end: the header (the updater, the command
// line, the script, the machine and the user) and the summary (outcome, exit code, counts,
// time).
#pragma once

#include <cstdint>

struct RunContext;

// `scriptFound`: whether the script is there.
void logHeader(RunContext& run, bool scriptFound);
// What the script was read as, once it is read.
void logScriptEncoding(RunContext& run);
void logSummary(RunContext& run, uint64_t milliseconds);
