// The file tree walker that COPY, MOVE, DELETE and ATTR share: it visits what a path names
// through directories held open, never by a path below the one the script named.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "os/files.h"
#include "text/text.h"

enum class VisitKind : int32_t {
    FileEntry = 0,       // an entry without the directory attribute
    EnterDirectory = 1,  // a directory, before its contents
    LeaveDirectory = 2,  // the same directory, after its contents (no longer held open)
    LinkEntry = 3,       // a link or junction, to a file or a directory: never entered
};

// One entry of a walk: the directory that holds it, and what its listing said of it.
struct Visit {
    const os::Directory& directory;
    const os::FoundEntry& entry;
    VisitKind kind;

    const std::string& name() const { return entry.name; }
    std::string path() const { return directory.pathOf(entry.name); }
};

// Called for every entry the walk finds; a failure stops the walk and is its result.
using FileVisitor = std::function<os::Result(const Visit& visit)>;

// Visits what `path` names (a file, a pattern's matches, or with `recursive` a directory's
// contents), depth first in listing order, each directory before and after its contents.
// Fails when nothing is found, a directory below cannot be listed, a name cannot be one of
// this system's, or a visitor fails: the failure names the deepest path it concerns. Entries
// named `unseen` (the run's own backup folders) are neither visited nor entered.
os::Result walkFiles(const Text& path, const FileVisitor& visitor, bool recursive, const std::string& unseen = "");

// The path without the separators it ends in ("C:\dst\" names the directory "C:\dst").
Text withoutTrailingSeparators(const Text& path);

// Everything before the last separator; the whole path when it has none.
Text parentPath(const Text& path);

// The last element: everything after the last separator.
Text lastElement(const Text& path);

// Whether `path` is a directory that is not a link: what a walk may list and descend into.
// Nothing of that name is no directory; a look that fails for another reason is that failure.
os::Result isPlainDirectory(const Text& path, bool& directory);

// The directory that holds what `path` names, held open, and the name of that in it.
os::Result openParent(const Text& path, os::Directory& parent, std::string& name);
