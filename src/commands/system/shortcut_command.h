// LINK: shell shortcut files, each in a directory made for it, pointing at a program with
// that program's directory as working directory.
#pragma once

#include "os/result.h"
#include "run/command.h"

struct ShortcutCommand : Command {
    Text src;      // the targets, comma-separated
    Text param;    // the arguments stored in each shortcut
    Text showCmd;  // 1 normal, 2 minimised without activation, 3 maximised; else the default
    Text dst;      // each shortcut's path without its extension
};

std::unique_ptr<Command> loadShortcutCommand(RunContext& run, const Text& section);
bool executeShortcutCommand(RunContext& run, Command& record);

// Saves the shortcut file `linkPath` to `target`, as a change of the run; fails when it was
// not saved.
os::Result createShortcut(RunContext& run, const Text& target, const Text& linkPath, const Text& arguments, int show);
