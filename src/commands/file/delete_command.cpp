// DELETE: each item walked, each entry removed through the directory that holds it, each
// directory after its contents, the item's own directory last. In a run that can be undone
// the walk only checks that everything could be removed, and what the item names is then set
// aside whole: a deleted tree costs one rename.
#include "commands/file/delete_command.h"

#include "commands/file/file_actions.h"
#include "commands/file/progress_whole.h"
#include "commands/file/walker.h"
#include "run/item_loop.h"
#include "run/path_tests.h"

namespace {

os::Result removeWalking(FileActions& actions, const Text& path) {
    const auto remove = [&actions](const Visit& visit) -> os::Result {
        switch (visit.kind) {
        case VisitKind::FileEntry:
        case VisitKind::LinkEntry: return actions.removeFile(visit.directory, visit.entry);
        case VisitKind::EnterDirectory: return {};
        case VisitKind::LeaveDirectory: return actions.removeDirectory(visit.directory, visit.name());
        }
        return {};
    };
    if (os::Result r = walkFiles(path, remove, true, actions.unseen()); !r) return r;
    // Asked after the walk: a link named as the item has gone with it.
    uint32_t attributes = os::InvalidAttributes;
    if (os::Result looked = lookAtPath(path, attributes); !looked) return looked;
    if (attributes == os::InvalidAttributes || !(attributes & os::AttributeDirectory)) return {};
    os::Directory parent;
    std::string name;
    if (os::Result r = openParent(withoutTrailingSeparators(path), parent, name); !r) return r;
    return actions.removeDirectory(parent, name);
}

os::Result setAsideWhole(FileActions& actions, const Text& path) {
    // The refusals a deletion would meet (a read-only file or directory), met before anything
    // is touched.
    const auto check = [](const Visit& visit) -> os::Result {
        switch (visit.kind) {
        case VisitKind::FileEntry:
        case VisitKind::LinkEntry: return visit.directory.checkRemovable(visit.name(), false, visit.entry.attributes);
        case VisitKind::EnterDirectory: return {};
        case VisitKind::LeaveDirectory:
            return visit.directory.checkRemovable(visit.name(), true, visit.entry.attributes);
        }
        return {};
    };
    if (os::Result r = walkFiles(path, check, true, actions.unseen()); !r) return r;
    uint32_t attributes = os::InvalidAttributes;
    if (os::Result looked = lookAtPath(path, attributes); !looked) return looked;
    if (attributes != os::InvalidAttributes && (attributes & os::AttributeDirectory)) {
        os::Directory parent;
        std::string name;
        os::FoundEntry entry;
        if (os::Result r = openParent(withoutTrailingSeparators(path), parent, name); !r) return r;
        if (os::Result r = parent.checkRemovable(name, true); !r) return r;
        if (os::Result r = parent.look(name, entry); !r) return r;
        return actions.setAside(parent, entry);
    }
    return walkFiles(
        path,
        [&actions](const Visit& visit) -> os::Result {
            if (visit.kind == VisitKind::LeaveDirectory) return {};
            return actions.setAside(visit.directory, visit.entry);
        },
        false, actions.unseen());
}

}  // namespace

os::Result deleteItem(RunContext& run, const Text& path) {
    FileActions actions(run);
    // Only the system's "nothing has that name" is nothing to delete; a search that fails
    // otherwise fails the item, as it may have something to delete behind it.
    bool present = false;
    if (os::Result found = findPath(path, present); !found) return found;
    if (!present) {
        actions.skipped(path.str(), "nothing has that name");
        return {};
    }
    return run.journal.undoable() ? setAsideWhole(actions, path) : removeWalking(actions, path);
}

std::unique_ptr<Command> loadDeleteCommand(RunContext& run, const Text& section) {
    auto record = newRecord<DeleteCommand>(run, section, "DELETE_INFO");
    if (!record || !readCommandKeys(run, *record, {{"FILE", &record->file}})) return nullptr;
    return record;
}

bool executeDeleteCommand(RunContext& run, Command& record) {
    auto& command = static_cast<DeleteCommand&>(record);
    const ItemList items(command.file);
    countWholeLater(run, items, items.count(), true, true);
    return forEachItem(run, command, command.file, "FILE", [&](int i) {
        const Text& item = items[i];
        return run.succeeded(deleteItem(run, item), MessageId::DeleteFailed, {item});
    });
}
