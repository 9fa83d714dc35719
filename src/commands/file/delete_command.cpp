// DELETE: each item walked, each entry removed through the directory that holds it, each
// directory after its contents, the item's own directory last.
#include "commands/file/delete_command.h"

#include "commands/file/file_actions.h"
#include "run/item_loop.h"
#include "commands/file/walker.h"
#include "run/path_tests.h"

os::Result deleteItem(RunContext& run, const Text& path) {
    FileActions actions(run);
    if (!pathExists(path)) {
        actions.skipped(path.str(), "nothing has that name");
        return {};
    }
    const auto remove = [&actions](const Visit& visit) -> os::Result {
        switch (visit.kind) {
        case VisitKind::FileEntry:
        case VisitKind::LinkEntry: return actions.removeFile(visit.directory, visit.entry);
        case VisitKind::EnterDirectory: return {};
        case VisitKind::LeaveDirectory: return actions.removeDirectory(visit.directory, visit.name());
        }
        return {};
    };
    if (os::Result r = walkFiles(path, remove, true); !r) return r;
    // Asked after the walk: a link named as the item has gone with it.
    if (!isDirectory(path)) return {};
    os::Directory parent;
    std::string name;
    if (os::Result r = openParent(withoutTrailingSeparators(path), parent, name); !r) return r;
    return actions.removeDirectory(parent, name);
}

std::unique_ptr<Command> loadDeleteCommand(RunContext& run, const Text& section) {
    auto record = newRecord<DeleteCommand>(run, section, "DELETE_INFO");
    if (!record || !readCommandKeys(run, *record, {{"FILE", &record->file}})) return nullptr;
    return record;
}

bool executeDeleteCommand(RunContext& run, Command& record) {
    auto& command = static_cast<DeleteCommand&>(record);
    return forEachItem(run, command, command.file, "FILE", [&](int i) {
        const Text item = listItem(command.file, i);
        return run.succeeded(deleteItem(run, item), MessageId::DeleteFailed, {item});
    });
}
