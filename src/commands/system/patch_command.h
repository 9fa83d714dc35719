// PATCH: installed files brought to their new version by patches (src/delta). A file is
// changed only when its SHA-256 is the one its patch was made from; the new file is made
// beside it, checked against the SHA-256 the patch promises, put on the disk and swapped in
// as COPY swaps in a replacement (undone with ROLLBACK=1).
#pragma once

#include "run/command.h"

struct PatchCommand : Command {
    Text file;  // the installed files, comma-separated
    Text diff;  // the patch of each, item for item
};

std::unique_ptr<Command> loadPatchCommand(RunContext& run, const Text& section);
bool executePatchCommand(RunContext& run, Command& record);
