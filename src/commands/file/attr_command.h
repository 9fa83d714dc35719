// ATTR: the attribute word of files set, pair by pair from FILE and ARG.
#pragma once

#include <cstdint>

#include "os/result.h"
#include "run/command.h"

struct AttrCommand : Command {
    Text file;  // paths or patterns, comma-separated
    Text arg;   // attribute words as "0x..." hexadecimal, item i belonging to item i of `file`
};

std::unique_ptr<Command> loadAttrCommand(RunContext& run, const Text& section);
bool executeAttrCommand(RunContext& run, Command& record);

// Sets the word on every file that `path` matches in its one directory; directories and
// links are passed over. False when nothing matches or a file refuses the word.
os::Result applyAttributes(RunContext& run, const Text& path, uint32_t attributes);
