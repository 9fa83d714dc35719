// WAITAPP: one lookup and at most one blocking wait per program; a program that is not
// running, cannot be opened or does not end in time is passed over without a word.
#include "commands/system/wait_app_command.h"

#include "commands/system/process_lookup.h"
#include "os/process.h"
#include "run/item_loop.h"

std::unique_ptr<Command> loadWaitAppCommand(RunContext& run, const Text& section) {
    auto record = newRecord<WaitAppCommand>(run, section, "WAITAPP_INFO");
    if (!record || !readCommandKeys(run, *record, {{"APP", &record->app}, {"TICK", &record->tick}})) return nullptr;
    return record;
}

bool executeWaitAppCommand(RunContext& run, Command& record) {
    auto& wait = static_cast<WaitAppCommand&>(record);
    const int count = countItems(run, wait, wait.app, "APP");
    if (count == 0) return false;
    const ItemList apps(wait.app);
    const ItemList ticks(wait.tick);
    for (int i = 0; i < count; ++i) {
        // -1 reaches the system as 0xFFFFFFFF, its value for no limit.
        const auto limit = static_cast<uint32_t>(ticks[i].toInt());
        const uint32_t id = findProcess(apps[i]);
        if (id == 0) continue;
        // However the wait ends, the command goes on (a program not waited for is passed over),
        // unless a Cancel answered Yes during it stops the run.
        if (!run.progress.started()) {
            (void)os::waitForProcess(id, limit);  // see above
            continue;
        }
        // Drawn, the wait says which program it waits for, and hears a Cancel.
        (void)os::waitForProcess(id, limit, [&] {  // see above
            run.progress.waiting(apps[i].str());
            run.stopIfCancelled();
        });
    }
    wait.result = true;
    return true;
}
