// Every change the file commands make to the file system, in one place: a replaced file is
// written beside its target and swapped in, a move between volumes is a copy and a removal.
// Each change is counted and written to the run's log here.
#pragma once

#include <cstdint>
#include <string>

#include "os/files.h"

struct RunContext;

class FileActions {
public:
    explicit FileActions(RunContext& run) : run_(run) {}

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

    // Notes in the log that `path` was left alone, and why.
    void skipped(const std::string& path, const char* why);

private:
    void log(const std::string& event);

    RunContext& run_;
};
