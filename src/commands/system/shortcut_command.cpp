// LINK: a shortcut that cannot be saved stops the run; those before it stay.
#include "commands/system/shortcut_command.h"

#include "commands/file/make_dir_command.h"
#include "commands/system/launch_command.h"
#include "os/shortcut.h"
#include "run/list_items.h"

namespace {

// SHOWCMD's codes are the script's own; 2 means minimised without taking the focus.
uint32_t showCommandFor(int show) {
    switch (show) {
        case 1: return os::ShowNormal;
        case 2: return os::ShowMinimizedNoActive;
        case 3: return os::ShowMaximized;
        default: return os::ShowUnset;
    }
}

}  // namespace

std::unique_ptr<Command> loadShortcutCommand(const Text& section) {
    auto record = newRecord<ShortcutCommand>(section, "SHORTCUT_INFO");
    if (!record || !readCommandKeys(*record, {{"SRC", &record->src},
                                              {"PARAM", &record->param},
                                              {"SHOWCMD", &record->showCmd},
                                              {"DST", &record->dst}}))
        return nullptr;
    return record;
}

bool executeShortcutCommand(Command& record) {
    auto& link = static_cast<ShortcutCommand&>(record);
    const int count = itemCount(link.src);
    if (count == 0) {
        showError(MessageId::WrongItemCount, {link.section, "SRC"});
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const Text src = listItem(link.src, i);
        const Text dst = listItem(link.dst, i);
        const Text param = listItem(link.param, i);
        const int show = link.showCmd.field(i, ",").toInt();
        // A directory still missing afterwards shows up as a failure to save.
        createPath(dst.fields(0, -2, "\\"));
        if (!createShortcut(src, dst.concat(".LNK"), param, show)) {
            showError(MessageId::ShortcutFailed, {src, dst});
            return false;
        }
    }
    link.result = true;
    return true;
}

bool createShortcut(const Text& target, const Text& linkPath, const Text& arguments, int show) {
    Text workingDirectory;
    directoryOf(target, workingDirectory);
    return os::saveShortcut({target.str(), workingDirectory.str(), arguments.str(), showCommandFor(show)},
                            linkPath.str());
}
