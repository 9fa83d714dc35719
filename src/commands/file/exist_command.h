// EXIST: whether every listed path is present, as a result flag for a later branch.
#pragma once

#include "run/command.h"

struct ExistCommand : Command {
    Text file;  // paths or patterns, comma-separated
};

std::unique_ptr<Command> loadExistCommand(RunContext& run, const Text& section);
bool executeExistCommand(RunContext& run, Command& record);
