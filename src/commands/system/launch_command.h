// LAUNCH: starts programs one after the other and waits for each to end or to be ready for
// input; also directoryOf, which cuts a path down to its directory.
#pragma once

#include <functional>

#include "os/result.h"
#include "run/command.h"

struct LaunchCommand : Command {
    Text file;       // program paths, comma-separated
    Text param;      // a parameter text for each
    int isWait = 0;  // nonzero: wait for each program's end; 0: until it is ready for input
};

std::unique_ptr<Command> loadLaunchCommand(RunContext& run, const Text& section);
bool executeLaunchCommand(RunContext& run, Command& record);

// The bytes before the path's last backslash. False, `out` untouched, when there is no
// backslash or only one at the very start.
bool directoryOf(const Text& path, Text& out);

// Starts `file` with `params` in its own directory and waits as `wait` asks. Fails when
// the program could not be started or its end could not be waited for. A program that needs
// administrator rights is started with them, the user asked, only when `mayAskForRights`.
// `stillWaiting` is called during a wait for the end, about ten times a second.
os::Result launchProgram(const Text& file, const Text& params, int wait, bool mayAskForRights,
                         const std::function<void()>& stillWaiting = nullptr);
