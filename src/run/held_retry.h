// A step on a file that another program holds for a moment (a virus scanner, an indexer, a
// program that has only just ended under Wine), tried again for a while before it counts as
// failed. Portable: what "held" means is the files layer's (os::isHeldByAnother).
#pragma once

#include <cstdint>

#include "os/files.h"
#include "os/system.h"

// How long a held file is waited for before the step counts as failed.
constexpr uint64_t heldFileWait = 5000;

// Runs `step` again while it fails because another program holds what it works on, for about
// five seconds.
template <class Step>
os::Result retried(Step step) {
    os::Result result = step();
    // Most steps succeed at once: no clock for them.
    if (result || !os::isHeldByAnother(result.error())) return result;
    const uint64_t started = os::steadyMilliseconds();
    for (unsigned pause = 20; !result && os::isHeldByAnother(result.error()) &&
                              os::steadyMilliseconds() - started < heldFileWait;
         pause = pause < 250 ? pause * 2 : pause) {
        os::sleepMilliseconds(pause);
        result = step();
    }
    return result;
}
