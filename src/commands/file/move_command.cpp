// MOVE: the transfer shape with moves, where only a single file refuses what is already at
// its destination.
#include "commands/file/move_command.h"

namespace {

bool moveSingleEntry(const Text& from, const Text& to, EntryKind kind) { return moveEntry(from, to, kind, false); }

const TransferKind moving{"MOVE_INFO", MessageId::MoveFailed, moveSingleEntry, moveVisitor, true};

}  // namespace

std::unique_ptr<Command> loadMoveCommand(const Text& section) {
    return loadTransferCommand<MoveCommand>(section, moving);
}

bool executeMoveCommand(Command& record) { return executeTransferCommand(record, moving); }

bool moveItem(const Text& from, const Text& to) { return transferItem(from, to, moving); }
