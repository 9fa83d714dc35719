// MOVE: the transfer shape with moves, where only a single file refuses what is already at
// its destination.
#include "commands/file/move_command.h"

namespace {
const TransferKind moving{"MOVE_INFO", MessageId::MoveFailed, true};
}

std::unique_ptr<Command> loadMoveCommand(RunContext& run, const Text& section) {
    return loadTransferCommand<MoveCommand>(run, section, moving);
}

bool executeMoveCommand(RunContext& run, Command& record) { return executeTransferCommand(run, record, moving); }

os::Result moveItem(RunContext& run, const Text& from, const Text& to) { return transferItem(run, from, to, moving); }
