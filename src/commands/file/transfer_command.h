// What COPY and MOVE share: their record, loader and executor, and the handling of one
// FROM/TO pair. Each command gives only what tells it apart.
#pragma once

#include "commands/file/walker.h"
#include "run/command.h"

struct TransferCommand : Command {
    Text from;  // sources: files, directories or patterns, comma-separated
    Text to;    // destinations, item i belonging to item i of `from`
};

struct TransferKind {
    const char* memoryLabel;  // COPY_INFO, MOVE_INFO
    MessageId failure;        // message 8 or 14, with the pair
    // One file or link onto its destination.
    bool (*singleEntry)(const Text& from, const Text& to, EntryKind kind);
    FileVisitor visitor;
    // The source directory goes at the end: moved whole in one step when nothing is at the
    // destination, otherwise removed once the walk has emptied it.
    bool removesSource;
};

template <class Record>
std::unique_ptr<Command> loadTransferCommand(const Text& section, const TransferKind& kind) {
    auto record = newRecord<Record>(section, kind.memoryLabel);
    if (!record || !readCommandKeys(*record, {{"FROM", &record->from}, {"TO", &record->to}})) return nullptr;
    return record;
}

bool executeTransferCommand(Command& record, const TransferKind& kind);

// One pair. Shows no message.
bool transferItem(const Text& from, const Text& to, const TransferKind& kind);
