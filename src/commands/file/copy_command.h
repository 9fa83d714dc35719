// COPY: files, directory trees and pattern matches copied pair by pair from FROM to TO.
#pragma once

#include "commands/file/transfer_command.h"

struct CopyCommand : TransferCommand {};

std::unique_ptr<Command> loadCopyCommand(const Text& section);
bool executeCopyCommand(Command& record);

// One pair: a file onto its destination (overwriting it), a directory's contents into the
// destination directory, a pattern's matches into the directory before TO's last separator.
bool copyItem(const Text& from, const Text& to);
