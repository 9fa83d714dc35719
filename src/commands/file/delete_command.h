// DELETE: files, directory trees and pattern matches removed; what is not there counts as
// deleted.
#pragma once

#include "run/command.h"

struct DeleteCommand : Command {
    Text file;  // paths or patterns, comma-separated
};

std::unique_ptr<Command> loadDeleteCommand(const Text& section);
bool executeDeleteCommand(Command& record);

// One item. A link is removed itself, never what it leads to. Shows no message.
bool deleteItem(const Text& path);
