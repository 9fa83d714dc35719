// The file tree walker. Portable code only: every file system call goes through os/files.h.
#include "commands/file/walker.h"

#include <vector>

namespace {

const char* const separator = "\\";

struct Walk {
    const FileVisitor& visitor;
    bool recursive;
    const std::string& unseen;
};

os::Result visitEntries(const os::Directory& directory, const std::string& pattern, const Walk& walk, bool mustFind);

// A name is joined to its directory's path only for reports; still, a name that holds the
// separator could not exist on Windows, and no path a report or a later step builds from it
// may mean a place outside the tree.
os::Result visitEntry(const os::Directory& directory, const os::FoundEntry& entry, const Walk& walk) {
    const FileVisitor& visitor = walk.visitor;
    if (entry.name.find('\\') != std::string::npos)
        return os::Result::fail(os::Operation::List, directory.pathOf(entry.name), os::NameHoldsSeparator);
    if (os::isLinkWord(entry.attributes)) return visitor({directory, entry, VisitKind::LinkEntry});
    if (!(entry.attributes & os::AttributeDirectory)) return visitor({directory, entry, VisitKind::FileEntry});
    if (os::Result r = visitor({directory, entry, VisitKind::EnterDirectory}); !r) return r;
    if (walk.recursive) {
        // A subdirectory that fails stops the whole walk: its command must report it, not
        // succeed with part of the tree left undone.
        os::Directory inside;
        if (os::Result r = directory.openChild(entry.name, inside); !r) return r;
        if (os::Result r = visitEntries(inside, "*", walk, false); !r) return r;
    }
    return visitor({directory, entry, VisitKind::LeaveDirectory});
}

os::Result visitEntries(const os::Directory& directory, const std::string& pattern, const Walk& walk, bool mustFind) {
    std::vector<os::FoundEntry> entries;
    if (os::Result r = directory.list(pattern, entries); !r) return r;
    if (mustFind && entries.empty())
        return os::Result::fail(os::Operation::Look, directory.pathOf(pattern), os::nothingMatches());
    for (const os::FoundEntry& entry : entries) {
        if (!walk.unseen.empty() && entry.name == walk.unseen) continue;
        if (os::Result r = visitEntry(directory, entry, walk); !r) return r;
    }
    return {};
}

}  // namespace

Text withoutTrailingSeparators(const Text& path) {
    std::string bare = path.str();
    while (!bare.empty() && bare.back() == '\\') bare.pop_back();
    return Text(std::move(bare));
}

Text parentPath(const Text& path) { return path.fields(0, -2, separator); }

Text lastElement(const Text& path) { return path.field(-1, separator); }

bool isPlainDirectory(const Text& path) {
    uint32_t attributes = 0;
    return os::fileAttributes(path.str(), attributes).ok() && os::isDirectoryWord(attributes);
}

os::Result openParent(const Text& path, os::Directory& parent, std::string& name) {
    name = lastElement(path).str();
    // A path of one element lies in the current directory.
    const Text directory = path.countOf(separator) == 0 ? Text(".") : parentPath(path);
    return os::Directory::open(directory.str(), parent);
}

os::Result walkFiles(const Text& path, const FileVisitor& visitor, bool recursive, const std::string& unseen) {
    const Walk walk{visitor, recursive, unseen};
    // A link named as the path is walked as the entry it is, never listed through, also when
    // written with a trailing separator. Only the trailing separators are dropped from a
    // directory's root: a leading one is where the path starts (the root directory, or a
    // network share).
    const Text root = withoutTrailingSeparators(path);
    if (recursive && isPlainDirectory(root)) {
        os::Directory directory;
        if (os::Result r = os::Directory::open(root.str(), directory); !r) return r;
        return visitEntries(directory, "*", walk, false);
    }
    os::Directory parent;
    std::string pattern;
    if (os::Result r = openParent(path, parent, pattern); !r) return r;
    return visitEntries(parent, pattern, walk, true);
}
