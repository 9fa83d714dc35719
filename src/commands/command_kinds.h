// The table of command kinds: every MODE a script may name, wired to its loader and executor.
#pragma once

#include <span>

#include "run/command.h"

// The whole table, in the order in which a MODE value is compared with it, kinds without a
// loader included.
std::span<const CommandKind> commandKinds();
