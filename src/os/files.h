// Files and directories with the Win32 shapes the commands are written against: paths in
// script form ("\" separators), attribute words, searches with "*" and "?" in the last
// element. A tree is worked on through open directories, never by path below the directory
// a command names, so that nothing swapped in during a walk can lead it elsewhere.
// No platform type here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "os/result.h"

namespace os {

constexpr uint32_t InvalidAttributes = 0xFFFFFFFF;
constexpr uint32_t AttributeReadOnly = 0x01;
constexpr uint32_t AttributeHidden = 0x02;
constexpr uint32_t AttributeSystem = 0x04;
constexpr uint32_t AttributeDirectory = 0x10;
constexpr uint32_t AttributeArchive = 0x20;
constexpr uint32_t AttributeNormal = 0x80;
constexpr uint32_t AttributeReparsePoint = 0x400;

struct FoundEntry {
    std::string name;     // the entry's own name, no directory
    uint32_t attributes;  // its attribute word
    uint64_t size = 0;    // bytes, for a file
};

// What tells one file or directory from every other on the machine: its volume, its number
// there, and when it came to be, where numbers are used again after a removal (st_dev,
// st_ino and the birth time; on NTFS the volume serial and the file index, whose sequence
// part changes whenever the number is used again). A record of what a run made names it by
// this, so that an undo never takes another entry that came to stand under the same name.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    uint64_t birth = 0;  // nanoseconds, where the system tells; 0 elsewhere
    bool operator==(const FileIdentity&) const = default;
};

inline bool isLinkWord(uint32_t attributes) { return (attributes & AttributeReparsePoint) != 0; }
inline bool isDirectoryWord(uint32_t attributes) {
    return (attributes & AttributeDirectory) != 0 && !isLinkWord(attributes);
}

// A directory search (FindFirstFileW and its successors). A pattern may hold "*" and "?"
// in its last element; "*.*" matches every name; a trailing separator finds nothing. A
// pattern without wildcards finds that one entry (a directory's own entry, not its
// contents). A listing includes "." and ".." when they match, as Windows lists them.
class DirectorySearch {
public:
    explicit DirectorySearch(const std::string& pattern);
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    bool found() const;               // an entry is current
    const FoundEntry& entry() const;  // valid while found()
    bool next();                      // moves on; false when no entry is left
    // Why the search found nothing, or why it ended early; ok when it simply ran out.
    const Result& result() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// GetFileAttributesW: the attribute word of what `path` names, a link not followed; a path
// with a trailing separator names a directory (and only a directory).
Result fileAttributes(const std::string& path, uint32_t& attributes);
// The same, InvalidAttributes for anything that fails.
uint32_t attributesOf(const std::string& path);

// True for the errors that mean "nothing has that name".
bool isNotFound(ErrorCode error);
// True for the error of a refusal by the rights on an entry.
bool isAccessDenied(ErrorCode error);
// The error a search gives when nothing matches its pattern.
ErrorCode nothingMatches();

// A file held open for adding to its end: a log or a journal. Each append reaches the system
// in one call, so a line written stays written when the program dies after it.
class AppendFile {
public:
    AppendFile();
    ~AppendFile();
    AppendFile(AppendFile&&) noexcept;
    AppendFile& operator=(AppendFile&&) noexcept;

    bool isOpen() const;
    Result append(std::string_view bytes);
    // Everything appended so far on the disk itself, not only with the system.
    Result sync();
    // The whole file as it stands (only for a file opened with openExclusive).
    Result readAll(std::string& out);
    const std::string& path() const { return path_; }

    struct Impl;

private:
    friend class Directory;
    std::unique_ptr<Impl> impl_;
    std::string path_;
};

// A directory held open: every operation on an entry inside it goes through the directory
// itself, so that a directory renamed or swapped for a link meanwhile changes nothing of
// where the operation lands. Names are single elements, never paths. Windows keeps the
// directory from being renamed or deleted by others while it is held.
class Directory {
public:
    Directory();
    ~Directory();
    Directory(Directory&&) noexcept;
    Directory& operator=(Directory&&) noexcept;

    // The directory `path` names. A link at `path` itself is not followed: it is refused.
    static Result open(const std::string& path, Directory& out);

    bool isOpen() const;
    // The path it was opened by, script form: what failures and reports name.
    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const;

    // Entries matching `pattern` (Windows rules; "*" for all), "." and ".." left out, in the
    // order the system lists them (on POSIX the order an NTFS directory lists in).
    Result list(const std::string& pattern, std::vector<FoundEntry>& out) const;
    // What `name` is, itself: a link reads as a reparse point.
    Result look(const std::string& name, FoundEntry& out) const;

    // The subdirectory `name`; a link is refused, never followed.
    Result openChild(const std::string& name, Directory& out) const;
    // A new subdirectory; anything already there makes it fail.
    Result createChild(const std::string& name) const;
    // A new file `name` holding `bytes`; anything already there (a link too) makes it fail,
    // and a write that fails part-way leaves nothing behind.
    Result writeNewFile(const std::string& name, const std::string& bytes) const;
    // The file `name` opened for appending, made when missing; a link or anything but a
    // regular file there makes it fail.
    Result openForAppend(const std::string& name, AppendFile& out) const;
    // The file `name` opened for reading and appending by this process alone, for as long as
    // it holds it: while one run holds it, another that asks fails with InUseByAnotherRun.
    // The system lets go of it when the process ends, however it ends. With `create` it is
    // made when missing; without, a missing one fails as not found.
    Result openExclusive(const std::string& name, bool create, AppendFile& out) const;
    // Which entry `name` is, itself (a link is not followed).
    Result identify(const std::string& name, FileIdentity& out) const;
    // Which directory this is, whatever path it was opened by.
    Result identity(FileIdentity& out) const;

    // The file or link `name` removed. A read-only file is refused, as Windows refuses it;
    // `listed` is its attribute word where a listing has just given it, which spares a look.
    Result removeFile(const std::string& name, uint32_t listed = InvalidAttributes) const;
    // The empty subdirectory `name` removed; a read-only one is refused.
    Result removeChild(const std::string& name) const;
    // Whether removeFile (`directory` false) or removeChild would refuse `name` for what it
    // is (the other kind, or read-only), without removing it.
    Result checkRemovable(const std::string& name, bool directory, uint32_t listed = InvalidAttributes) const;
    // The whole attribute word of file `name` replaced; a link is refused.
    Result setAttributes(const std::string& name, uint32_t attributes) const;

    // A new file `toName` in `to` with the contents, attribute word and last-write time of
    // file `name` (a link: a new link to the same place). Anything at `toName` makes it
    // fail; a copy that fails part-way leaves nothing behind. With `durable` the copy is on
    // the disk itself before this returns, not only with the system. `copied`, when given,
    // hears of the bytes written as the copy goes (it must not throw).
    using CopyProgress = std::function<void(uint64_t bytes)>;
    Result copyTo(const std::string& name, const Directory& to, const std::string& toName, bool durable = false,
                  const CopyProgress& copied = nullptr) const;
    // As copyTo, but the contents are what `produce` makes: it may read file `name` through
    // `read` (`got` short only at its end) and gives the new file's bytes, in order, to
    // `put`. The new file takes `name`'s attribute word and last-write time all the same: a
    // patch carries those of the file it makes. A failure of `produce` is returned as it is.
    using ReadAt = std::function<Result(uint64_t offset, void* into, size_t n, size_t& got)>;
    using Put = std::function<Result(const void* bytes, size_t n)>;
    using Producer = std::function<Result(const ReadAt& read, uint64_t size, const Put& put)>;
    Result produceTo(const std::string& name, const Directory& to, const std::string& toName, bool durable,
                     const Producer& produce) const;
    // The file `name` on the disk itself (a link: nothing to do).
    Result syncFile(const std::string& name) const;
    // The attributes of the entry `name` (a file or a directory) on the disk; where the file
    // system journals them in order, as NTFS does, there is nothing to do.
    Result syncAttributes(const std::string& name) const;
    // The directory's own entries (names made, renamed, removed) on the disk itself.
    Result sync() const;
    // Whether `name` may be replaced: ok when nothing is there, or a file or link that is
    // not read-only; a read-only file or a directory is refused as Windows refuses it.
    // `listed`, when given, is the attribute word just looked at, which spares a look.
    Result checkReplaceable(const std::string& name, uint32_t listed = InvalidAttributes) const;
    // `name` renamed to `toName` in `to` (another directory of the same volume). Without
    // `replace` anything at `toName` makes it fail; with it, a file or link there is replaced
    // in one step, but a read-only file or a directory is refused. Across volumes it fails
    // with the system's code for that (isCrossVolume).
    Result moveTo(const std::string& name, const Directory& to, const std::string& toName, bool replace) const;

    struct Impl;

private:
    Result removeEntry(const std::string& name, bool directory, uint32_t listed) const;

    std::unique_ptr<Impl> impl_;
    std::string path_;
};

// True for the error a new file or directory gives when its name is taken.
bool isAlreadyThere(ErrorCode error);

// True for the error a rename gives when its two places lie on different volumes.
bool isCrossVolume(ErrorCode error);

// True for the errors that mean another program holds the file for the moment (Windows: a
// sharing or lock violation); never on POSIX, where files are not held that way.
bool isHeldByAnother(ErrorCode error);

// The programs that hold `path` open, by their names, where the system can tell (Windows:
// the Restart Manager); none elsewhere.
std::vector<std::string> programsHolding(const std::string& path);

// Asks the system to remove `path` when it next starts (Windows, with the rights to ask);
// nothing elsewhere.
void removeAtRestart(const std::string& path);

// Removes `name` in `in` with everything below it, read-only entries included, links as
// themselves: for what the updater itself made (its backups). Fails at the first entry that
// cannot be removed, and leaves the rest.
Result removeTree(const Directory& in, const std::string& name);

// Where `path` physically is (GetFinalPathNameByHandleW): every link and alias on the way
// resolved, in script form; empty when nothing has that name. Two paths name the same place
// exactly when their final paths are equal.
std::string finalPath(const std::string& path);

}  // namespace os
