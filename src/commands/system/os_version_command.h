// OSVER: whether the platform is of the NT family, as a result flag for a later branch.
#pragma once

#include "run/command.h"

struct OsVersionCommand : Command {};

std::unique_ptr<Command> loadOsVersionCommand(RunContext& run, const Text& section);
bool executeOsVersionCommand(RunContext& run, Command& record);
