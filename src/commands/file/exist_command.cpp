// EXIST: a missing item is an answer, not an error; only an empty list stops the run.
#include "commands/file/exist_command.h"

#include "run/path_tests.h"
#include "run/item_loop.h"

std::unique_ptr<Command> loadExistCommand(RunContext& run, const Text& section) {
    auto record = newRecord<ExistCommand>(run, section, "EXIST_INFO");
    if (!record || !readCommandKeys(run, *record, {{"FILE", &record->file}})) return nullptr;
    return record;
}

bool executeExistCommand(RunContext& run, Command& record) {
    auto& exist = static_cast<ExistCommand&>(record);
    const int count = countItems(run, exist, exist.file, "FILE");
    if (count == 0) return false;
    for (const Text& file : ItemList(exist.file))
        if (!pathExists(file)) return true;
    exist.result = true;
    return true;
}
