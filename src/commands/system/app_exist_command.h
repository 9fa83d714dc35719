// APPEXIST: whether every listed program is running, as a result flag for a later branch.
#pragma once

#include "run/command.h"

struct AppExistCommand : Command {
    Text app;  // executable paths, comma-separated
};

std::unique_ptr<Command> loadAppExistCommand(RunContext& run, const Text& section);
bool executeAppExistCommand(RunContext& run, Command& record);
