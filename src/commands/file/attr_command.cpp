// ATTR: a walk that does not descend, with the attribute visitor.
#include "commands/file/attr_command.h"

#include "commands/file/item_loop.h"
#include "commands/file/walker.h"

bool applyAttributes(const Text& path, uint32_t attributes) {
    return walkFiles(path, attributeVisitor, false, &attributes);
}

std::unique_ptr<Command> loadAttrCommand(const Text& section) {
    auto record = newRecord<AttrCommand>(section, "ATTR_INFO");
    if (!record || !readCommandKeys(*record, {{"FILE", &record->file}, {"ARG", &record->arg}})) return nullptr;
    return record;
}

bool executeAttrCommand(Command& record) {
    auto& command = static_cast<AttrCommand&>(record);
    return forEachItem(command, command.file, "FILE", [&](int i) {
        const Text file = listItem(command.file, i);
        const uint32_t attributes = listItem(command.arg, i).toHex();
        if (applyAttributes(file, attributes)) return true;
        showError(MessageId::AttributeFailed, {file, static_cast<unsigned>(attributes)});
        return false;
    });
}
