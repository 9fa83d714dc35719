// COPY: files, directory trees and pattern matches copied pair by pair from FROM to TO.
#pragma once

#include "commands/file/transfer_command.h"

struct CopyCommand : TransferCommand {};

std::unique_ptr<Command> loadCopyCommand(RunContext& run, const Text& section);
bool executeCopyCommand(RunContext& run, Command& record);

// One pair: a file onto its destination (overwriting it), a directory's contents into the
// destination directory, a pattern's matches into the directory before TO's last separator.
os::Result copyItem(RunContext& run, const Text& from, const Text& to);
