// COPY: the transfer shape with copies that overwrite and leave the source alone.
#include "commands/file/copy_command.h"

namespace {
const TransferKind copying{"COPY_INFO", MessageId::CopyFailed, copyEntry, copyVisitor, false};
}

std::unique_ptr<Command> loadCopyCommand(const Text& section) {
    return loadTransferCommand<CopyCommand>(section, copying);
}

bool executeCopyCommand(Command& record) { return executeTransferCommand(record, copying); }

bool copyItem(const Text& from, const Text& to) { return transferItem(from, to, copying); }
