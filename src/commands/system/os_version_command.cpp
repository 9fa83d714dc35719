// OSVER: reads no key but MODE and never stops the run.
#include "commands/system/os_version_command.h"

#include "os/system.h"

std::unique_ptr<Command> loadOsVersionCommand(const Text& section) {
    auto record = newRecord<OsVersionCommand>(section, "OSVER_INFO");
    if (!record || !readCommandKeys(*record, {})) return nullptr;
    return record;
}

bool executeOsVersionCommand(Command& record) {
    record.result = os::isNtPlatform();
    return true;
}
