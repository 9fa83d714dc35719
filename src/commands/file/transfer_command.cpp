// The shape of COPY and MOVE, with the checks that keep them inside the trees the script
// named. Portable code only.
#include "commands/file/transfer_command.h"

#include <string>
#include <vector>

#include "commands/file/file_actions.h"
#include "commands/file/progress_whole.h"
#include "run/item_loop.h"
#include "commands/file/make_dir_command.h"
#include "commands/file/walker.h"
#include "os/files.h"
#include "run/path_tests.h"
#include "text/script_path.h"

namespace {

// A destination inside a tree that the walk will list would be listed too, and copied into
// itself until the path length runs out. Compared by final paths, so that no other spelling,
// letter case or link leading into the tree slips past; a place that exists but whose final
// path the system cannot tell counts as inside. The trees are the directory itself, or every
// directory that the pattern matches.
os::Result destinationInsideSource(const Text& from, bool directory, const Text& targetRoot, bool& inside) {
    inside = false;
    // Where the destination would physically be made: below its deepest part that exists.
    // Element 0 alone (the drive) is never asked, as createPath never makes it.
    std::string target;
    for (int last = targetRoot.fieldCount("\\") - 1; last >= 1 && target.empty(); --last) {
        const Text prefix = targetRoot.fields(0, last, "\\");
        uint32_t attributes = os::InvalidAttributes;
        if (os::Result looked = lookAtPath(prefix, attributes); !looked) return looked;
        if (attributes == os::InvalidAttributes) continue;
        target = os::finalPath(prefix.str());
        if (target.empty()) {
            inside = true;
            return {};
        }
    }
    if (target.empty()) return {};

    const auto isInside = [&](const std::string& tree) {
        const std::string place = os::finalPath(tree);
        return place.empty() || paths::isWithin(target, place);
    };
    if (directory) {
        inside = isInside(from.str());
        return {};
    }
    const Text root = parentPath(from);
    os::DirectorySearch search(from.str());
    for (; search.found(); search.next()) {
        const os::FoundEntry& entry = search.entry();
        if (os::isDirectoryWord(entry.attributes) && entry.name != "." && entry.name != ".." &&
            isInside(paths::join(root.str(), entry.name))) {
            inside = true;
            return {};
        }
    }
    // A search that stopped early has not shown every tree the walk would list.
    if (!search.result() && !os::isNotFound(search.result().error())) return search.result();
    return {};
}

// The walk's visitor: each entry of the source tree carried to the same place in the target
// tree, whose directories are held open alongside the source's.
class TreeTransfer {
public:
    TreeTransfer(FileActions& actions, bool moves, os::Directory targetRoot) : actions_(actions), moves_(moves) {
        targets_.push_back(std::move(targetRoot));
    }

    os::Result operator()(const Visit& visit) {
        const os::Directory& target = targets_.back();
        switch (visit.kind) {
        case VisitKind::FileEntry:
        case VisitKind::LinkEntry:
            return moves_ ? actions_.move(visit.directory, visit.entry, target, visit.name(), true)
                          : actions_.copy(visit.directory, visit.entry, target, visit.name());
        case VisitKind::EnterDirectory: return enter(target, visit.name());
        case VisitKind::LeaveDirectory:
            targets_.pop_back();
            return moves_ ? actions_.removeDirectory(visit.directory, visit.name()) : os::Result();
        }
        return {};
    }

private:
    // The target directory is made unless something of that name is there already; what is
    // there must be a directory, never a link to one.
    os::Result enter(const os::Directory& target, const std::string& name) {
        os::FoundEntry existing;
        const os::Result look = target.look(name, existing);
        if (!look && !os::isNotFound(look.error())) return look;
        if (!look)
            if (os::Result made = actions_.createDirectory(target, name); !made) return made;
        os::Directory inside;
        if (os::Result opened = target.openChild(name, inside); !opened) return opened;
        targets_.push_back(std::move(inside));
        return {};
    }

    FileActions& actions_;
    bool moves_;
    std::vector<os::Directory> targets_;
};

// The entry `from` names carried to `to` as one entry: a file or a link, or, moved, a whole
// directory; anything at `to` makes it fail, but a copy over a file replaces it.
os::Result transferEntry(FileActions& actions, const Text& from, const Text& to, bool moves) {
    os::Directory source, target;
    std::string name, toName;
    os::FoundEntry entry;
    if (os::Result r = openParent(from, source, name); !r) return r;
    if (os::Result r = source.look(name, entry); !r) return r;
    if (os::Result r = openParent(to, target, toName); !r) return r;
    return moves ? actions.move(source, entry, target, toName, false) : actions.copy(source, entry, target, toName);
}

}  // namespace

os::Result transferItem(RunContext& run, const Text& from, const Text& to, const TransferKind& kind) {
    const os::Operation operation = kind.moves ? os::Operation::Move : os::Operation::Copy;
    // Without a destination every entry would land at the root of the current drive.
    if (to.empty()) return os::Result::fail(operation, from.str(), os::NoDestination);
    FileActions actions(run);

    const Text bareFrom = withoutTrailingSeparators(from);
    bool directory = false;
    if (os::Result looked = isPlainDirectory(bareFrom, directory); !looked) return looked;
    if (!directory && lastElement(from).countOf("*") == 0) {
        if (os::Result r = createPath(run, parentPath(to)); !r) return r;
        return transferEntry(actions, from, to, kind.moves);
    }

    // A directory's contents go into `to` itself ("D:\dst\" is the directory "D:\dst"); a
    // pattern's matches into the directory that `to` names before its last separator.
    const Text source = directory ? bareFrom : from;
    const Text targetRoot = directory ? withoutTrailingSeparators(to) : parentPath(to);
    bool inside = false;
    if (os::Result r = destinationInsideSource(source, directory, targetRoot, inside); !r) return r;
    if (inside) return os::Result::fail(operation, targetRoot.str(), os::DestinationInsideSource);

    if (directory && kind.moves) {
        // Where nothing stands yet, the whole tree goes in one rename.
        uint32_t attributes = os::InvalidAttributes;
        if (os::Result looked = lookAtPath(targetRoot, attributes); !looked) return looked;
        if (attributes == os::InvalidAttributes) {
            if (os::Result r = createPath(run, parentPath(targetRoot)); !r) return r;
            const os::Result moved = transferEntry(actions, source, targetRoot, true);
            // Another volume, or a name taken meanwhile: entry by entry, below.
            if (moved || (!os::isCrossVolume(moved.error()) && !os::isAlreadyThere(moved.error()))) return moved;
        }
    }
    if (os::Result r = createPath(run, targetRoot); !r) return r;
    os::Directory targetDirectory;
    if (os::Result r = os::Directory::open(targetRoot.str(), targetDirectory); !r) return r;
    TreeTransfer transfer(actions, kind.moves, std::move(targetDirectory));
    if (os::Result r = walkFiles(source, std::ref(transfer), true, actions.unseen()); !r) return r;
    if (!(directory && kind.moves)) return {};
    os::Directory sourceParent;
    std::string name;
    if (os::Result r = openParent(source, sourceParent, name); !r) return r;
    return actions.removeDirectory(sourceParent, name);
}

bool executeTransferCommand(RunContext& run, Command& record, const TransferKind& kind) {
    auto& transfer = static_cast<TransferCommand&>(record);
    const ItemList froms(transfer.from);
    const ItemList tos(transfer.to);
    countWholeLater(run, froms, froms.count(), true, kind.moves);
    return forEachItem(run, transfer, transfer.from, "FROM", [&](int i) {
        const Text& from = froms[i];
        const Text& to = tos[i];
        return run.succeeded(transferItem(run, from, to, kind), kind.failure, {from, to});
    });
}
