// DELETE: each item walked with the delete visitor, each directory removed after its
// contents, the item's own directory last.
#include "commands/file/delete_command.h"

#include "commands/file/item_loop.h"
#include "commands/file/path_tests.h"
#include "commands/file/walker.h"
#include "os/files.h"

bool deleteItem(const Text& path) {
    if (!pathExists(path)) return true;
    if (!walkFiles(path, deleteVisitor, true, nullptr)) return false;
    // Asked after the walk: a link named as the item has gone with it.
    return !isDirectory(path) || os::removeDirectory(path.str());
}

std::unique_ptr<Command> loadDeleteCommand(const Text& section) {
    auto record = newRecord<DeleteCommand>(section, "DELETE_INFO");
    if (!record || !readCommandKeys(*record, {{"FILE", &record->file}})) return nullptr;
    return record;
}

bool executeDeleteCommand(Command& record) {
    auto& command = static_cast<DeleteCommand&>(record);
    return forEachItem(command, command.file, "FILE", [&](int i) {
        const Text item = listItem(command.file, i);
        if (deleteItem(item)) return true;
        showError(MessageId::DeleteFailed, {item});
        return false;
    });
}
