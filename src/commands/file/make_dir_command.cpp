// MAKEDIR and createPath. Element 0 of a path is its drive (or, on POSIX, the root before
// the first separator) and is never created.
#include "commands/file/make_dir_command.h"

#include "commands/file/file_actions.h"
#include "run/item_loop.h"
#include "commands/file/walker.h"
#include "run/path_tests.h"

os::Result createPath(RunContext& run, const Text& path) {
    // A search never finds a path that ends in a separator, so without this the directory
    // would be created again after it exists, and fail.
    const Text wanted = withoutTrailingSeparators(path);
    // Only what the system says nothing has the name of is made: a directory that exists but
    // cannot be looked at is a failure, never one to make.
    bool present = false;
    if (os::Result found = findPath(wanted, present); !found || present) return found;
    FileActions actions(run);
    const int count = wanted.fieldCount("\\");
    for (int i = 1; i < count; ++i) {
        const Text prefix = wanted.fields(0, i, "\\");
        if (os::Result found = findPath(prefix, present); !found) return found;
        if (present) continue;
        os::Directory parent;
        std::string name;
        if (os::Result r = openParent(prefix, parent, name); !r) return r;
        if (os::Result r = actions.createDirectory(parent, name); !r) return r;
    }
    return {};
}

std::unique_ptr<Command> loadMakeDirCommand(RunContext& run, const Text& section) {
    auto record = newRecord<MakeDirCommand>(run, section, "MAKEDIR_INFO");
    if (!record || !readCommandKeys(run, *record, {{"DIR", &record->dir}})) return nullptr;
    return record;
}

bool executeMakeDirCommand(RunContext& run, Command& record) {
    auto& makeDir = static_cast<MakeDirCommand&>(record);
    const ItemList dirs(makeDir.dir);
    return forEachItem(run, makeDir, makeDir.dir, "DIR", [&](int i) {
        const Text& item = dirs[i];
        if (pathExists(withoutTrailingSeparators(item))) FileActions(run).skipped(item.str(), "it is there already");
        return run.succeeded(createPath(run, item), MessageId::MakeDirFailed, {item});
    });
}
