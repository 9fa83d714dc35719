// Every change the file commands make to the file system, in one place: a replaced file is
// written beside its target, on the disk, and swapped in; a move between volumes is a copy
// and a removal; a file another program holds for a moment is waited for. Each change is
// recorded in the run's journal first (so that a run can be undone), counted, and logged.
// In a run that can be undone, whatever the run makes is made under a name of its own first
// and recorded with its identity before it takes its place, so that an undo can tell it from
// anything else that comes to stand there. A Cancel the user confirmed stops the run before
// a change begins (RunCancelled), never inside one.
#pragma once

#include <cstdint>
#include <functional>
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
    // was. A read-only file or a directory at `toName` makes it fail. `created`, when given,
    // says whether the copy took a name where nothing stood.
    os::Result copy(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                    const std::string& toName, bool* created = nullptr);

    // Writes `toName` in `to` as copy does, with the bytes `produce` makes from the file
    // `source` of `from` (a patch), which gives the new file its attribute word and date.
    os::Result produce(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                       const std::string& toName, const os::Directory::Producer& produce);

    // Moves `source` (a file, a link or a whole directory) to `toName` in `to`. With
    // `replace` an existing file there is replaced as by copy; without it, anything there
    // makes the move fail. A file bound for another volume is copied, then its original
    // removed; where the original cannot be removed the move fails, and a copy it made where
    // nothing stood is taken back.
    os::Result move(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                    const std::string& toName, bool replace);

    // Deletes `entry` of `in`, a whole directory with all it holds at once: in a run that can
    // be undone, by setting it aside. (Only a run that can be undone uses it.)
    os::Result setAside(const os::Directory& in, const os::FoundEntry& entry);

    // Writes the file `name` of `in` that `write` makes itself as a new file under the name
    // it is given (a shortcut), and puts it in place of what stands there.
    os::Result writeFile(const os::Directory& in, const std::string& name,
                         const std::function<os::Result(const std::string& name)>& write);

    // The name of what walks must pass over: the run's own backup folders.
    std::string unseen() const;

    // Notes in the log that `path` was left alone, and why.
    void skipped(const std::string& path, const char* why);

private:
    using Maker = std::function<os::Result(const std::string& name)>;
    // Makes `name` of `in` with `make`, under a temporary name first where it must be: over
    // what stands there (`replacing`), where asked to (`beside`), or in a run that can be
    // undone, where it is recorded with its identity before it takes its place. A failure
    // names `name`, never the temporary.
    os::Result makeInPlace(const os::Directory& in, const std::string& name, bool replacing, bool beside,
                           const Maker& make);
    // Places the temporary `temporary` of `in`, which is made, at `name`.
    os::Result place(const os::Directory& in, const std::string& name, const std::string& temporary, bool replacing);
    // Removes what a step made under `temporary` before it failed: a file or a directory.
    void discard(const os::Directory& in, const std::string& temporary);
    // Whether `name` of `in` stands for something to replace: false when the system says
    // nothing has that name, a failure for any other answer than that or a replaceable entry.
    os::Result findReplaceable(const os::Directory& in, const std::string& name, bool& replacing);
    os::Result removeAfterCopy(const os::Directory& from, const os::FoundEntry& source);
    // copy, inside a change that began already (a move to another volume): no Cancel is asked.
    os::Result copyFile(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                        const std::string& toName, bool* created);
    void log(const std::string& event);
    // One more file of the command done, for its progress; the path is made only when a
    // drawing is due, as every file of a tree passes here.
    void progressed(const os::Directory& in, const std::string& name, uint64_t bytes);
    // What a copy to `item` tells of its bytes as it goes, for the progress: nothing when none
    // is drawn. `item` is made before the copy, as the copy must not throw.
    os::Directory::CopyProgress partsOf(const std::string& item);
    // Notes a directory whose names this command changed, to be put on the disk at its end.
    void changed(const os::Directory& in);

    RunContext& run_;
    // The directories whose names a run that cannot be undone changed since they were last put
    // on the disk (an undoable run's journal puts its own there before its end is recorded).
    std::unordered_set<std::string> changedIn_;
    // The directories this command made: what they hold, it put there, so a name not yet
    // written in them is free without a look.
    std::unordered_set<std::string> madeHere_;
};
