// Every change the file commands make to the file system, in one place: a replaced file is
// written beside its target and swapped in, a move between volumes is a copy and a removal.
// The run's log and journal see each change here.
#pragma once

#include <cstdint>
#include <string>

#include "os/files.h"

struct RunContext;

class FileActions {
public:
    explicit FileActions(RunContext& run) : run_(run) {}

    os::Result createDirectory(const os::Directory& in, const std::string& name);
    // `listed`: the attribute word the walk's listing gave, where there is one.
    os::Result removeFile(const os::Directory& in, const std::string& name, uint32_t listed = os::InvalidAttributes);
    os::Result removeDirectory(const os::Directory& in, const std::string& name);
    os::Result setAttributes(const os::Directory& in, const std::string& name, uint32_t attributes);

    // Writes `toName` in `to` as a copy of the file or link `name` in `from`. Over an
    // existing file the copy is made beside it under a name of its own and put in place in
    // one step: `toName` is never half-written, and a failure leaves what was there as it
    // was. A read-only file or a directory at `toName` makes it fail.
    os::Result copy(const os::Directory& from, const std::string& name, const os::Directory& to,
                    const std::string& toName);

    // Moves `name` (a file, a link or a whole directory) to `toName` in `to`. With `replace`
    // an existing file there is replaced as by copy; without it, anything there makes the
    // move fail. A file bound for another volume is copied, then its original removed.
    os::Result move(const os::Directory& from, const std::string& name, const os::Directory& to,
                    const std::string& toName, bool replace);

private:
    RunContext& run_;
};
