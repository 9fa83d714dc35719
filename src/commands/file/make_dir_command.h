// MAKEDIR, and createPath, which makes every missing directory of a path from the top down
// for MAKEDIR, COPY, MOVE and the shortcut command.
#pragma once

#include "os/result.h"
#include "run/command.h"

struct MakeDirCommand : Command {
    Text dir;  // directory paths, comma-separated
};

// False when the system refused to create one of the path's directories; those made before
// stay. Anything already of the path's name counts as there. A trailing separator is
// dropped first: "C:\a\b\" makes "C:\a\b".
// Every directory of `path` that is missing, made from the top down; element 0 (the drive)
// is never made.
os::Result createPath(RunContext& run, const Text& path);

std::unique_ptr<Command> loadMakeDirCommand(RunContext& run, const Text& section);
bool executeMakeDirCommand(RunContext& run, Command& record);
