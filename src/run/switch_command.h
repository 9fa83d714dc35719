// SWITCH: the script's branch into a nested list, chosen by another command's result flag.
#pragma once

#include "run/command.h"

struct SwitchCommand : Command {
    Text proc;       // the section whose flag is tested
    Text whenFalse;  // key "0": the list run when the flag is false
    Text whenTrue;   // key "1": the list run when the flag is true
};

std::unique_ptr<Command> loadSwitchCommand(RunContext& run, const Text& section);
bool executeSwitchCommand(RunContext& run, Command& record);
