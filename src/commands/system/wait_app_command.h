// WAITAPP: waits, program by program, until each listed program has ended or its own time
// limit has passed.
#pragma once

#include "run/command.h"

struct WaitAppCommand : Command {
    Text app;   // executable paths, comma-separated
    Text tick;  // a limit in milliseconds for each, -1 for none
};

std::unique_ptr<Command> loadWaitAppCommand(RunContext& run, const Text& section);
bool executeWaitAppCommand(RunContext& run, Command& record);
