// Every change the file commands make to the file system, in one place: a replaced file is
// written beside its target, on the disk, and swapped in; a move between volumes is a copy
// and a removal; a file another program holds for a moment is waited for. Each change is
// recorded in the run's journal first (so that a run can be undone), counted, and logged.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "os/files.h"

struct RunContext;

class FileActions {
public:
    explicit FileActions(RunContext& run) : run_(run) {}
    // Puts the renames of replaced files on the disk: once for each directory, as a command
    // ends, rather than once for every file.
    ~FileActions();
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    os::Result createDirectory(const os::Directory& in, const std::string& name);
    // `entry` as a listing gave it: its attribute word spares a look, its size is logged.
    os::Result removeFile(const os::Directory& in, const os::FoundEntry& entry);
    os::Result removeDirectory(const os::Directory& in, const std::string& name);
    os::Result setAttributes(const os::Directory& in, const std::string& name, uint32_t attributes);

    // Writes `toName` in `to` as a copy of the file or link `source` in `from`. Over an
    // existing file the copy is made beside it under a name of its own and put in place in
    // one step: `toName` is never half-written, and a failure leaves what was there as it
    // was. A read-only file or a directory at `toName` makes it fail.
    os::Result copy(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                    const std::string& toName);

    // Moves `source` (a file, a link or a whole directory) to `toName` in `to`. With
    // `replace` an existing file there is replaced as by copy; without it, anything there
    // makes the move fail. A file bound for another volume is copied, then its original
    // removed.
    os::Result move(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                    const std::string& toName, bool replace);

    // Deletes `entry` of `in`, a whole directory with all it holds at once: in a run that can
    // be undone, by setting it aside. (Only a run that can be undone uses it.)
    os::Result setAside(const os::Directory& in, const os::FoundEntry& entry);

    // Makes ready for a file that the system writes itself (a shortcut) at `name` of `in`,
    // under the temporary name `temporary` first: recorded, and in a run that can be undone
    // what is there is set aside, or the new file noted as made where nothing was.
    os::Result prepareToWrite(const os::Directory& in, const std::string& name, const std::string& temporary);

    // The name of what walks must pass over: the run's own backup folders.
    std::string unseen() const;

    // Notes in the log that `path` was left alone, and why.
    void skipped(const std::string& path, const char* why);

private:
    // Records, in a run that can be undone, that `name` of `in` is about to be made where
    // nothing was.
    os::Result willCreate(const os::Directory& in, const std::string& name);
    // Puts the new file `made` of `in` in the place of `name`, in one step.
    os::Result replaceWithNew(const os::Directory& in, const std::string& name, const std::string& made);
    os::Result copyNew(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                       const std::string& toName);
    void log(const std::string& event);

    RunContext& run_;
    // The directories where a file took another's name since they were last put on the disk.
    std::unordered_set<std::string> renamedIn_;
    // The directories this command made: what they hold, it put there, so a name not yet
    // written in them is free without a look.
    std::unordered_set<std::string> madeHere_;
};
