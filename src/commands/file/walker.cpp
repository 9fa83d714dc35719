// The file tree walker, its visitors and the single steps they take. Portable code only:
// every file system call goes through os/files.h.
#include "commands/file/walker.h"

#include <cstdio>
#include <random>
#include <string>

#include "commands/file/path_tests.h"
#include "os/files.h"

namespace {

const char* const separator = "\\";

// A name in the target's directory that nothing else uses: a random start per run, counted
// on from there, so that neither a second updater nor the leftovers of a killed one collide.
std::string temporaryBeside(const Text& path) {
    static uint32_t next = std::random_device{}();
    char name[24];
    std::snprintf(name, sizeof name, "~upd%08x.tmp", static_cast<unsigned>(next++));
    const Text directory = parentPath(path);
    return directory.str() == path.str() ? std::string(name) : directory.str() + separator + name;
}

// Removes an unfinished copy, or the original of a moved file. Either may be read-only (a
// copy takes the source's attributes), which Windows would refuse to delete.
void discard(const std::string& path, EntryKind kind) {
    if (kind == EntryKind::Link) {
        os::removeLink(path);
        return;
    }
    os::setFileAttributes(path, os::AttributeNormal);
    os::deleteFile(path);
}

bool copyNew(const std::string& from, const std::string& to, EntryKind kind) {
    return kind == EntryKind::Link ? os::copyLink(from, to) : os::copyFile(from, to);
}

// The copy and move visitors' step down: a target directory is made unless something of
// that name is already there (even a file, which a later step then fails on).
bool ensureDirectory(const Text& path) { return pathExists(path) || os::createDirectory(path.str()); }

}  // namespace

Text targetPath(const Text& path, const TransferContext& context) {
    return context.targetRoot.concat(separator).concat(path.fields(context.skipCount, -1, separator));
}

bool isPlainDirectory(const Text& path) {
    uint32_t attributes = 0;
    return getAttributes(path, attributes) && (attributes & os::AttributeDirectory) &&
           !(attributes & os::AttributeReparsePoint);
}

Text withoutTrailingSeparators(const Text& path) {
    std::string bare = path.str();
    while (!bare.empty() && bare.back() == '\\') bare.pop_back();
    return Text(std::move(bare));
}

Text parentPath(const Text& path) { return path.fields(0, -2, separator); }

EntryKind entryKindOf(const Text& path) {
    uint32_t attributes = 0;
    return getAttributes(path, attributes) && (attributes & os::AttributeReparsePoint) ? EntryKind::Link
                                                                                        : EntryKind::File;
}

bool walkFiles(const Text& path, FileVisitor visitor, bool recursive, void* context) {
    // A link named as the path is walked as the entry it is, never listed through, also when
    // written with a trailing separator. Only the trailing separators are dropped from a
    // directory's root: a leading one is where the path starts (the root directory, or a
    // network share).
    Text root = withoutTrailingSeparators(path);
    Text pattern;
    if (recursive && isPlainDirectory(root)) {
        pattern = root.concat("\\*.*");
    } else {
        root = parentPath(path);
        pattern = path;
    }

    os::DirectorySearch search(pattern.str());
    if (!search.found()) return false;
    do {
        const os::FoundEntry& entry = search.entry();
        const Text entryPath = root.concat(separator).concat(entry.name.c_str());
        const uint32_t attributes = entry.attributes;
        if (attributes & os::AttributeReparsePoint) {
            if (!visitor(entryPath, VisitKind::LinkEntry, attributes, context)) return false;
        } else if (attributes & os::AttributeDirectory) {
            if (entry.name == "." || entry.name == "..") continue;
            if (!visitor(entryPath, VisitKind::EnterDirectory, attributes, context)) return false;
            // A subdirectory that fails stops the whole walk: its command must report it,
            // not succeed with part of the tree left undone.
            if (recursive && !walkFiles(entryPath, visitor, recursive, context)) return false;
            if (!visitor(entryPath, VisitKind::LeaveDirectory, attributes, context)) return false;
        } else if (!visitor(entryPath, VisitKind::FileEntry, attributes, context)) {
            return false;
        }
    } while (search.next());
    return true;
}

bool copyEntry(const Text& from, const Text& to, EntryKind kind) {
    // A new name needs no detour: a copy that fails part-way removes what it wrote.
    const uint32_t existing = os::fileAttributes(to.str());
    if (existing == os::InvalidAttributes) return copyNew(from.str(), to.str(), kind);
    if (existing & (os::AttributeReadOnly | os::AttributeDirectory)) return false;
    const std::string temporary = temporaryBeside(to);
    if (copyNew(from.str(), temporary, kind) && os::replaceFile(temporary, to.str())) return true;
    discard(temporary, kind);
    return false;
}

bool moveEntry(const Text& from, const Text& to, EntryKind kind, bool replace) {
    if (kind == EntryKind::File) {
        if (!replace) return os::moveFile(from.str(), to.str());
        if (os::replaceFile(from.str(), to.str())) return true;
    } else if (!replace && os::fileAttributes(to.str()) != os::InvalidAttributes) {
        return false;
    }
    // A link (which only a copy of itself moves without following it), or a file bound for
    // another volume: a copy put safely in place, then the original removed. As with
    // MoveFileA between volumes, an original that cannot be removed leaves the copy standing.
    if (!copyEntry(from, to, kind)) return false;
    discard(from.str(), kind);
    return true;
}

bool copyVisitor(const Text& path, VisitKind kind, uint32_t, void* context) {
    const TransferContext& transfer = *static_cast<const TransferContext*>(context);
    switch (kind) {
    case VisitKind::FileEntry: return copyEntry(path, targetPath(path, transfer), EntryKind::File);
    case VisitKind::LinkEntry: return copyEntry(path, targetPath(path, transfer), EntryKind::Link);
    case VisitKind::EnterDirectory: return ensureDirectory(targetPath(path, transfer));
    case VisitKind::LeaveDirectory: return true;
    }
    return false;
}

bool moveVisitor(const Text& path, VisitKind kind, uint32_t, void* context) {
    const TransferContext& transfer = *static_cast<const TransferContext*>(context);
    switch (kind) {
    case VisitKind::FileEntry: return moveEntry(path, targetPath(path, transfer), EntryKind::File, true);
    case VisitKind::LinkEntry: return moveEntry(path, targetPath(path, transfer), EntryKind::Link, true);
    case VisitKind::EnterDirectory: return ensureDirectory(targetPath(path, transfer));
    case VisitKind::LeaveDirectory: return os::removeDirectory(path.str());
    }
    return false;
}

// A read-only file stops the deletion, as DeleteFileA refuses it; the listing's word says so
// without a second look at the file.
bool deleteVisitor(const Text& path, VisitKind kind, uint32_t attributes, void*) {
    switch (kind) {
    case VisitKind::FileEntry: return !(attributes & os::AttributeReadOnly) && os::deleteFile(path.str());
    case VisitKind::LinkEntry: return os::removeLink(path.str());
    case VisitKind::EnterDirectory: return true;
    case VisitKind::LeaveDirectory: return os::removeDirectory(path.str());
    }
    return false;
}

// Links are passed over with directories: setting a word on a link would set it on what the
// link leads to.
bool attributeVisitor(const Text& path, VisitKind kind, uint32_t, void* context) {
    switch (kind) {
    case VisitKind::FileEntry: return os::setFileAttributes(path.str(), *static_cast<const uint32_t*>(context));
    case VisitKind::LinkEntry:
    case VisitKind::EnterDirectory:
    case VisitKind::LeaveDirectory: return true;
    }
    return false;
}
