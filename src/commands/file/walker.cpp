// The file tree walker. Portable code only: every file system call goes through os/files.h.
#include "commands/file/walker.h"

#include <vector>

#include "run/path_tests.h"
#include "text/script_path.h"

namespace {

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

Text withoutTrailingSeparators(const Text& path) { return Text(paths::withoutTrailingSeparators(path.str())); }

Text parentPath(const Text& path) { return Text(paths::parentOf(path.str())); }

Text lastElement(const Text& path) { return Text(paths::lastElement(path.str())); }

os::Result isPlainDirectory(const Text& path, bool& directory) {
    uint32_t attributes = os::InvalidAttributes;
    const os::Result looked = lookAtPath(path, attributes);
    directory = looked && attributes != os::InvalidAttributes && os::isDirectoryWord(attributes);
    return looked;
}

os::Result openParent(const Text& path, os::Directory& parent, std::string& name) {
    name = paths::lastElement(path.str());
    return os::Directory::open(paths::directoryOf(path.str()), parent);
}

os::Result walkFiles(const Text& path, const FileVisitor& visitor, bool recursive, const std::string& unseen) {
    const Walk walk{visitor, recursive, unseen};
    // A link named as the path is walked as the entry it is, never listed through, also when
    // written with a trailing separator. Only the trailing separators are dropped from a
    // directory's root: a leading one is where the path starts (the root directory, or a
    // network share).
    const Text root = withoutTrailingSeparators(path);
    bool directory = false;
    if (recursive)
        if (os::Result looked = isPlainDirectory(root, directory); !looked) return looked;
    if (directory) {
        os::Directory directory;
        if (os::Result r = os::Directory::open(root.str(), directory); !r) return r;
        return visitEntries(directory, "*", walk, false);
    }
    os::Directory parent;
    std::string pattern;
    if (os::Result r = openParent(path, parent, pattern); !r) return r;
    if (recursive && !pattern.empty() && pattern.find_first_of("*?") == std::string::npos) {
        // A directory stands where the look at the whole path saw none (it came meanwhile, or
        // the look was told wrongly): it is walked as the directory the path names, so that
        // what it holds never lands a level too deep.
        os::FoundEntry entry;
        if (parent.look(pattern, entry) && os::isDirectoryWord(entry.attributes)) {
            os::Directory inside;
            if (os::Result r = parent.openChild(pattern, inside); !r) return r;
            return visitEntries(inside, "*", walk, false);
        }
    }
    return visitEntries(parent, pattern, walk, true);
}
