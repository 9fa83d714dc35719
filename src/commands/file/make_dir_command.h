// MAKEDIR, and createPath, which makes every missing directory of a path from the top down
// for MAKEDIR, COPY, MOVE and the shortcut command.
#pragma once

#include "run/command.h"

struct MakeDirCommand : Command {
    Text dir;  // directory paths, comma-separated
};

// False when the system refused to create one of the path's directories; those made before
// stay. Anything already of the path's name counts as there. A trailing separator is
// dropped first: "C:\a\b\" makes "C:\a\b".
bool createPath(const Text& path);

std::unique_ptr<Command> loadMakeDirCommand(const Text& section);
bool executeMakeDirCommand(Command& record);
