// EXIST: a missing item is an answer, not an error; only an empty list stops the run.
#include "commands/file/exist_command.h"

#include "commands/file/path_tests.h"
#include "run/list_items.h"

std::unique_ptr<Command> loadExistCommand(const Text& section) {
    auto record = newRecord<ExistCommand>(section, "EXIST_INFO");
    if (!record || !readCommandKeys(*record, {{"FILE", &record->file}})) return nullptr;
    return record;
}

bool executeExistCommand(Command& record) {
    auto& exist = static_cast<ExistCommand&>(record);
    const int count = itemCount(exist.file);
    if (count == 0) {
        showError(MessageId::WrongItemCount, {exist.section, "FILE"});
        return false;
    }
    for (int i = 0; i < count; ++i)
        if (!pathExists(listItem(exist.file, i))) return true;
    exist.result = true;
    return true;
}
