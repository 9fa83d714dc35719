// ATTR: a walk that does not descend, with the whole attribute word set on every file it
// meets. Links are passed over with directories: setting a word on a link would set it on
// what the link leads to.
#include "commands/file/attr_command.h"

#include "commands/file/file_actions.h"
#include "run/item_loop.h"
#include "commands/file/walker.h"

os::Result applyAttributes(RunContext& run, const Text& path, uint32_t attributes) {
    FileActions actions(run);
    return walkFiles(
        path,
        [&](const Visit& visit) -> os::Result {
            if (visit.kind != VisitKind::FileEntry) return {};
            return actions.setAttributes(visit.directory, visit.name(), attributes);
        },
        false, actions.unseen());
}

std::unique_ptr<Command> loadAttrCommand(RunContext& run, const Text& section) {
    auto record = newRecord<AttrCommand>(run, section, "ATTR_INFO");
    if (!record || !readCommandKeys(run, *record, {{"FILE", &record->file}, {"ARG", &record->arg}})) return nullptr;
    return record;
}

bool executeAttrCommand(RunContext& run, Command& record) {
    auto& command = static_cast<AttrCommand&>(record);
    const ItemList files(command.file);
    const ItemList words(command.arg);
    return forEachItem(run, command, command.file, "FILE", [&](int i) {
        const Text& file = files[i];
        const uint32_t attributes = words[i].toHex();
        return run.succeeded(applyAttributes(run, file, attributes), MessageId::AttributeFailed,
                             {file, static_cast<unsigned>(attributes)});
    });
}
