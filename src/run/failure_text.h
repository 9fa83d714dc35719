// A failure told in words: the system's reason, and the lines a box adds below its message
// (the file that failed, where the message does not already name it, and why).
#pragma once

#include <string>

#include "os/result.h"

// The reason for `error`: the system's description in the user's language with its number,
// or the updater's own words for its own refusals.
std::string reasonFor(os::ErrorCode error);

// `failure` in one line for the log: the operation, the path, the other path where there are
// two, the system call that failed, and the reason with its number.
std::string failureLine(const os::Failure& failure);

// The lines added below `message` for `failure`, starting with a blank line; for a file
// another program holds, also the programs that hold it, where the system can tell.
std::string failureDetails(const os::Failure& failure, const std::string& message);
