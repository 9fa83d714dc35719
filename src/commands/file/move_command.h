// MOVE: files, directory trees and pattern matches moved pair by pair from FROM to TO.
#pragma once

#include "commands/file/transfer_command.h"

struct MoveCommand : TransferCommand {};

std::unique_ptr<Command> loadMoveCommand(RunContext& run, const Text& section);
bool executeMoveCommand(RunContext& run, Command& record);

// One pair: a single file refuses an existing destination; entries met in a walk replace
// theirs; a directory source is gone at the end.
os::Result moveItem(RunContext& run, const Text& from, const Text& to);
