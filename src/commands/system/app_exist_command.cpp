// APPEXIST: a program that is not running is an answer, not an error.
#include "commands/system/app_exist_command.h"

#include "commands/system/process_lookup.h"
#include "run/item_loop.h"

std::unique_ptr<Command> loadAppExistCommand(RunContext& run, const Text& section) {
    // Both process commands name the same object when memory runs out.
    auto record = newRecord<AppExistCommand>(run, section, "WAITAPP_INFO");
    if (!record || !readCommandKeys(run, *record, {{"APP", &record->app}})) return nullptr;
    return record;
}

bool executeAppExistCommand(RunContext& run, Command& record) {
    auto& exist = static_cast<AppExistCommand&>(record);
    const int count = countItems(run, exist, exist.app, "APP");
    if (count == 0) return false;
    for (const Text& app : ItemList(exist.app))
        if (findProcess(app) == 0) return true;
    exist.result = true;
    return true;
}
