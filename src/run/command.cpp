// Key reading shared by every loader, and the lookup of a kind by its MODE.
#include "run/command.h"

#include "run/key_reader.h"
#include "run/run_context.h"

const CommandKind* findCommandKind(std::span<const CommandKind> kinds, const Text& mode) {
    for (const CommandKind& kind : kinds)
        if (kind.load && mode.equalsNoCase(kind.mode)) return &kind;
    return nullptr;
}

bool readCommandKeys(RunContext& run, Command& record, std::initializer_list<KeyField> keys) {
    if (!readKey(run, record.section.c_str(), "MODE", record.mode)) return false;
    for (const KeyField& k : keys)
        if (!readKey(run, record.section.c_str(), k.key, *k.field)) return false;
    return true;
}

void reportNoMemory(RunContext& run, const char* memoryLabel) { run.showError(MessageId::OutOfMemory, {memoryLabel}); }
