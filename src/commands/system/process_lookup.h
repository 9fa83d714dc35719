// findProcess: a running program found by the path of its executable, the one lookup that
// WAITAPP and APPEXIST share.
#pragma once

#include <cstdint>

#include "text/text.h"

// The id of the first running process, in the system's order and other than this one,
// whose executable path equals `name` (letter case ignored; the bare name for a process that
// cannot be queried). 0 when there is none.
uint32_t findProcess(const Text& name);
