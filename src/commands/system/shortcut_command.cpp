// LINK: a shortcut that cannot be saved stops the run; those before it stay.
#include "commands/system/shortcut_command.h"

#include "commands/file/file_actions.h"
#include "commands/file/make_dir_command.h"
#include "commands/file/walker.h"
#include "commands/system/launch_command.h"
#include "os/shortcut.h"
#include "os/system.h"
#include "run/item_loop.h"

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

std::unique_ptr<Command> loadShortcutCommand(RunContext& run, const Text& section) {
    auto record = newRecord<ShortcutCommand>(run, section, "SHORTCUT_INFO");
    if (!record || !readCommandKeys(run, *record, {{"SRC", &record->src},
                                              {"PARAM", &record->param},
                                              {"SHOWCMD", &record->showCmd},
                                              {"DST", &record->dst}}))
        return nullptr;
    return record;
}

bool executeShortcutCommand(RunContext& run, Command& record) {
    auto& link = static_cast<ShortcutCommand&>(record);
    const ItemList srcs(link.src);
    const ItemList dsts(link.dst);
    const ItemList params(link.param);
    const ItemList shows(link.showCmd);  // a number skips its leading spaces, so trimmed is the same
    return forEachItem(run, link, link.src, "SRC", [&](int i) {
        const Text& src = srcs[i];
        const Text& dst = dsts[i];
        const Text& param = params[i];
        const int show = shows[i].toInt();
        os::Result saved = createPath(run, parentPath(dst));
        if (saved) saved = createShortcut(run, src, dst.concat(".LNK"), param, show);
        if (!run.succeeded(saved, MessageId::ShortcutFailed, {src, dst})) return false;
        ++run.counters.shortcutsSaved;
        run.logEvent("  saved shortcut \"" + dst.str() + ".LNK\" to \"" + src.str() + "\"");
        return true;
    });
}

os::Result createShortcut(RunContext& run, const Text& target, const Text& linkPath, const Text& arguments, int show) {
    // A target without a directory has no working directory to start in: it is left empty.
    Text workingDirectory;
    if (!directoryOf(target, workingDirectory)) workingDirectory = Text();
    os::Directory parent;
    std::string name;
    if (os::Result opened = openParent(linkPath, parent, name); !opened)
        return os::Result::fail(os::Operation::SaveShortcut, linkPath.str(), opened.error(), opened.failure().call);
    const os::ShortcutFields fields{target.str(), workingDirectory.str(), arguments.str(), showCommandFor(show)};
    return FileActions(run).writeFile(parent, name, [&](const std::string& as) {
        return os::writeShortcut(fields, parent, as);
    });
}
