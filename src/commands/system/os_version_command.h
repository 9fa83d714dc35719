// OSVER: whether the platform is of the NT family, as a result flag for a later branch.
#pragma once

#include "run/command.h"

struct OsVersionCommand : Command {};

std::unique_ptr<Command> loadOsVersionCommand(const Text& section);
bool executeOsVersionCommand(Command& record);
