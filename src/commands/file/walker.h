// The file tree walker that COPY, MOVE, DELETE and ATTR share, the four visitors that give
// each its action, and the single steps (one file, one link) that the visitors take.
#pragma once

#include <cstdint>

#include "text/text.h"

enum class VisitKind : int32_t {
    FileEntry = 0,       // an entry without the directory attribute
    EnterDirectory = 1,  // a directory, before its contents
    LeaveDirectory = 2,  // the same directory, after its contents
    LinkEntry = 3,       // a link or junction, to a file or a directory: never entered
};

// Called for every entry the walk finds, with the attribute word its listing reported (so
// that no visitor has to ask the system again); false stops the walk. `context` is the
// walk's own.
using FileVisitor = bool (*)(const Text& path, VisitKind kind, uint32_t attributes, void* context);

// Where the copy and move visitors place an entry: under `targetRoot`, with the elements of
// its path from index `skipCount` on.
struct TransferContext {
    int32_t skipCount = 0;
    Text targetRoot;
};

Text targetPath(const Text& path, const TransferContext& context);

// Visits what `path` names (a file, a pattern's matches, or with `recursive` a directory's
// contents), depth first in listing order, each directory before and after its contents.
// False when nothing is found, a directory below cannot be listed, or a visitor says stop.
bool walkFiles(const Text& path, FileVisitor visitor, bool recursive, void* context);

bool copyVisitor(const Text& path, VisitKind kind, uint32_t attributes, void* context);  // TransferContext
bool moveVisitor(const Text& path, VisitKind kind, uint32_t attributes, void* context);  // TransferContext
bool deleteVisitor(const Text& path, VisitKind kind, uint32_t attributes, void* context);     // none
bool attributeVisitor(const Text& path, VisitKind kind, uint32_t attributes, void* context);  // the word

// A directory that is not a link: what a walk may list and descend into.
bool isPlainDirectory(const Text& path);

// The path without the separators it ends in ("C:\dst\" names the directory "C:\dst").
Text withoutTrailingSeparators(const Text& path);

// Everything before the last separator; the whole path when it has none.
Text parentPath(const Text& path);

enum class EntryKind { File, Link };
EntryKind entryKindOf(const Text& path);

// Writes `to` as a copy of the file or link `from`. Over an existing file the copy is made
// beside it under a name of its own and put in place in one step: `to` is never
// half-written, and a failure leaves what was there as it was. A read-only file or a
// directory at `to` makes it fail.
bool copyEntry(const Text& from, const Text& to, EntryKind kind);

// Moves the file or link `from` to `to`. With `replace` an existing `to` is replaced as by
// copyEntry; without it, anything at `to` makes the move fail.
bool moveEntry(const Text& from, const Text& to, EntryKind kind, bool replace);
