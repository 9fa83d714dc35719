// What COPY and MOVE share: their record, loader and executor, and the handling of one
// FROM/TO pair. Each command gives only what tells it apart.
#pragma once

#include "os/result.h"
#include "run/command.h"
#include "run/key_reader.h"

struct TransferCommand : Command {
    Text from;  // sources: files, directories or patterns, comma-separated
    Text to;    // destinations, item i belonging to item i of `from`
};

struct TransferKind {
    const char* memoryLabel;  // COPY_INFO, MOVE_INFO
    MessageId failure;        // message 8 or 14, with the pair
    // MOVE: entries are moved and the source directory goes at the end, moved whole in one
    // step when nothing is at the destination, otherwise removed once the walk has emptied
    // it; a single file refuses what is already at its destination. COPY: copies that
    // overwrite, the source left alone.
    bool moves;
};

template <class Record>
std::unique_ptr<Command> loadTransferCommand(RunContext& run, const Text& section, const TransferKind& kind) {
    auto record = newRecord<Record>(run, section, kind.memoryLabel);
    if (!record || !readCommandKeys(run, *record, {{"FROM", &record->from}, {"TO", &record->to}})) return nullptr;
    return record;
}

bool executeTransferCommand(RunContext& run, Command& record, const TransferKind& kind);

// One pair. Shows no message.
os::Result transferItem(RunContext& run, const Text& from, const Text& to, const TransferKind& kind);
