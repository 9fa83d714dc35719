// COPY: the transfer shape with copies that overwrite and leave the source alone.
#include "commands/file/copy_command.h"

namespace {
const TransferKind copying{"COPY_INFO", MessageId::CopyFailed, false};
}

std::unique_ptr<Command> loadCopyCommand(RunContext& run, const Text& section) {
    return loadTransferCommand<CopyCommand>(run, section, copying);
}

bool executeCopyCommand(RunContext& run, Command& record) { return executeTransferCommand(run, record, copying); }

os::Result copyItem(RunContext& run, const Text& from, const Text& to) { return transferItem(run, from, to, copying); }
