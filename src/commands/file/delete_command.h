// DELETE: files, directory trees and pattern matches removed; what is not there counts as
// deleted.
#pragma once

#include "os/result.h"
#include "run/command.h"

struct DeleteCommand : Command {
    Text file;  // paths or patterns, comma-separated
};

std::unique_ptr<Command> loadDeleteCommand(RunContext& run, const Text& section);
bool executeDeleteCommand(RunContext& run, Command& record);

// One item. A link is removed itself, never what it leads to. Shows no message.
os::Result deleteItem(RunContext& run, const Text& path);
