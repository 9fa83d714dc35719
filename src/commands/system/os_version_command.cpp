// OSVER: reads no key but MODE and never stops the run.
#include "commands/system/os_version_command.h"

#include "os/system.h"
#include "run/run_context.h"

std::unique_ptr<Command> loadOsVersionCommand(RunContext& run, const Text& section) {
    auto record = newRecord<OsVersionCommand>(run, section, "OSVER_INFO");
    if (!record || !readCommandKeys(run, *record, {})) return nullptr;
    return record;
}

bool executeOsVersionCommand(RunContext& run, Command& record) {
    record.result = os::isNtPlatform();
    return true;
}
