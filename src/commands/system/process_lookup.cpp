// The process lookup: the matching rule over the system's process list.
#include "commands/system/process_lookup.h"

#include "os/process.h"

uint32_t findProcess(const Text& name) {
    // An empty name matches nothing: a process the system lists before its image is known (one
    // being started, seen under Wine) has an empty name, and must not pass for it.
    if (name.empty()) return 0;
    os::ProcessList processes;
    if (!processes.ok()) return 0;
    const uint32_t self = os::currentProcessId();
    while (processes.next()) {
        if (processes.id() == self) continue;
        if (os::sameExecutable(processes.executable(), name.str())) return processes.id();
    }
    return 0;
}
