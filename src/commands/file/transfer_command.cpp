// The shape of COPY and MOVE, with the checks that keep them inside the trees the script
// named. Portable code only.
#include "commands/file/transfer_command.h"

#include <string>

#include "commands/file/item_loop.h"
#include "commands/file/make_dir_command.h"
#include "os/files.h"

namespace {

bool within(const std::string& inner, const std::string& tree) {
    const std::string outer = withoutTrailingSeparators(Text(tree)).str();
    return inner == outer || (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
                              inner[outer.size()] == '\\');
}

// A destination inside a tree that the walk will list would be listed too, and copied into
// itself until the path length runs out. Compared by final paths, so that no other spelling,
// letter case or link leading into the tree slips past; a place that exists but whose final
// path the system cannot tell counts as inside. The trees are the directory itself, or every
// directory that the pattern matches.
bool destinationInsideSource(const Text& from, bool directory, const Text& targetRoot) {
    // Where the destination would physically be made: below its deepest part that exists.
    // Element 0 alone (the drive) is never asked, as createPath never makes it.
    std::string target;
    for (int last = targetRoot.fieldCount("\\") - 1; last >= 1 && target.empty(); --last) {
        const std::string prefix = targetRoot.fields(0, last, "\\").str();
        if (os::fileAttributes(prefix) == os::InvalidAttributes) continue;
        target = os::finalPath(prefix);
        if (target.empty()) return true;
    }
    if (target.empty()) return false;

    const auto inside = [&](const std::string& tree) {
        const std::string place = os::finalPath(tree);
        return place.empty() || within(target, place);
    };
    if (directory) return inside(from.str());
    const Text root = parentPath(from);
    for (os::DirectorySearch search(from.str()); search.found(); search.next()) {
        const os::FoundEntry& entry = search.entry();
        if ((entry.attributes & os::AttributeDirectory) && !(entry.attributes & os::AttributeReparsePoint) &&
            entry.name != "." && entry.name != ".." && inside(root.str() + "\\" + entry.name)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool transferItem(const Text& from, const Text& to, const TransferKind& kind) {
    // Without a destination every entry would land at the root of the current drive.
    if (to.empty()) return false;

    const Text bareFrom = withoutTrailingSeparators(from);
    const bool directory = isPlainDirectory(bareFrom);
    if (!directory && from.field(-1, "\\").countOf("*") == 0) {
        return createPath(parentPath(to)) && kind.singleEntry(from, to, entryKindOf(from));
    }

    // A directory's contents go into `to` itself ("D:\dst\" is the directory "D:\dst"); a
    // pattern's matches into the directory that `to` names before its last separator.
    TransferContext context;
    const Text source = directory ? bareFrom : from;
    context.skipCount = source.fieldCount("\\") - (directory ? 0 : 1);
    context.targetRoot = directory ? withoutTrailingSeparators(to) : parentPath(to);

    if (destinationInsideSource(source, directory, context.targetRoot)) return false;

    if (directory && kind.removesSource && os::fileAttributes(context.targetRoot.str()) == os::InvalidAttributes &&
        createPath(parentPath(context.targetRoot)) && os::moveFile(source.str(), context.targetRoot.str())) {
        return true;
    }
    if (!createPath(context.targetRoot) || !walkFiles(source, kind.visitor, true, &context)) return false;
    return !(directory && kind.removesSource) || os::removeDirectory(source.str());
}

bool executeTransferCommand(Command& record, const TransferKind& kind) {
    auto& transfer = static_cast<TransferCommand&>(record);
    return forEachItem(transfer, transfer.from, "FROM", [&](int i) {
        const Text from = listItem(transfer.from, i);
        const Text to = listItem(transfer.to, i);
        if (transferItem(from, to, kind)) return true;
        showError(kind.failure, {from, to});
        return false;
    });
}
