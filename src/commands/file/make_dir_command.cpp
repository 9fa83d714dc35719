// MAKEDIR and createPath. Element 0 of a path is its drive (or, on POSIX, the root before
// the first separator) and is never created.
#include "commands/file/make_dir_command.h"

#include "commands/file/item_loop.h"
#include "commands/file/path_tests.h"
#include "commands/file/walker.h"
#include "os/files.h"

bool createPath(const Text& path) {
    // A search never finds a path that ends in a separator, so without this the directory
    // would be created again after it exists, and fail.
    const Text wanted = withoutTrailingSeparators(path);
    if (pathExists(wanted)) return true;
    const int count = wanted.fieldCount("\\");
    for (int i = 1; i < count; ++i) {
        const Text prefix = wanted.fields(0, i, "\\");
        if (!pathExists(prefix) && !os::createDirectory(prefix.str())) return false;
    }
    return true;
}

std::unique_ptr<Command> loadMakeDirCommand(const Text& section) {
    auto record = newRecord<MakeDirCommand>(section, "MAKEDIR_INFO");
    if (!record || !readCommandKeys(*record, {{"DIR", &record->dir}})) return nullptr;
    return record;
}

bool executeMakeDirCommand(Command& record) {
    auto& makeDir = static_cast<MakeDirCommand&>(record);
    return forEachItem(makeDir, makeDir.dir, "DIR", [&](int i) {
        const Text item = listItem(makeDir.dir, i);
        if (createPath(item)) return true;
        showError(MessageId::MakeDirFailed, {item});
        return false;
    });
}
