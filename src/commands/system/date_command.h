// DATE: whether some listed file was last written before a calendar date (or cannot be
// opened), as a result flag for a later branch.
#pragma once

#include "run/command.h"

struct DateCommand : Command {
    Text file;  // paths, comma-separated
    Text date;  // year/month/day
};

std::unique_ptr<Command> loadDateCommand(RunContext& run, const Text& section);
bool executeDateCommand(RunContext& run, Command& record);

// True when the file can be opened and its last write, in the machine's local time zone,
// fell on `date` (year/month/day) or later; the time of day plays no part.
bool isFileOnOrAfter(const Text& path, const Text& date);
