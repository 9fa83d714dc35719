// The frame every command kind fits into: the record base, the loader and executor
// contracts, and the helpers that keep each kind's loader to its list of keys.
#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <new>
#include <span>

#include "run/messages.h"
#include "text/text.h"

struct RunContext;

struct Command {
    Text section;         // the name under which the list named this section, trimmed
    Text mode;            // MODE as the loader read it, expanded
    bool result = false;  // set by the executor when its test holds or its work succeeded
    virtual ~Command() = default;
};

// A loader reads its section into a new record, or shows why not and gives none.
using CommandLoader = std::unique_ptr<Command> (*)(RunContext& run, const Text& section);
// An executor returns true to let the run go on, false to stop it (after its message).
using CommandExecutor = bool (*)(RunContext& run, Command& record);

// No loader reads more keys than this, MODE included.
constexpr int MaxCommandKeys = 5;

struct CommandKind {
    const char* mode;         // the MODE value, compared without regard to case
    const char* memoryLabel;  // the object named when its record cannot be allocated
    CommandLoader load;
    CommandExecutor execute;
    // Every key the loader reads, MODE first, in the loader's order; the places after the
    // last key are none. The script checker reads a section through this list, so a test
    // holds it to what each loader really reads.
    std::array<const char*, MaxCommandKeys> keys;
    // The keys whose items name what the command creates, replaces, moves or deletes: where
    // the run's rights are checked before anything starts, and what the checker reports.
    std::array<const char*, 2> changes;
    // The keys that name lists the command may branch to (SWITCH's): their commands are
    // reached without the main list naming them.
    std::array<const char*, 2> branches;
};

// The kind for a MODE value in a table, in the table's order; none when no kind has that
// name or it has no loader.
const CommandKind* findCommandKind(std::span<const CommandKind> kinds, const Text& mode);

// A new record with its section name, or none after reporting the lack of memory.
template <class Record>
std::unique_ptr<Record> newRecord(RunContext& run, const Text& section, const char* memoryLabel);

// One text key of a record and where its expanded value goes.
struct KeyField {
    const char* key;
    Text* field;
};

// Reads MODE and then each key in order; the first missing key has been reported and
// makes the result false.
bool readCommandKeys(RunContext& run, Command& record, std::initializer_list<KeyField> keys);

// Reports the lack of memory for a record; the template's out-of-line half.
void reportNoMemory(RunContext& run, const char* memoryLabel);

template <class Record>
std::unique_ptr<Record> newRecord(RunContext& run, const Text& section, const char* memoryLabel) {
    std::unique_ptr<Record> record(new (std::nothrow) Record());
    if (!record) {
        reportNoMemory(run, memoryLabel);
        return nullptr;
    }
    record->section = section;
    return record;
}
