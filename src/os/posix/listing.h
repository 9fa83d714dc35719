// Directory listings and regular-file opens relative to an open directory: what the search
// and the held directories share. Only POSIX code includes this.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "os/files.h"
#include "os/posix/descriptor.h"
#include "os/posix/system_calls.h"

namespace os::detail {

// The entries of the directory `dirfd` whose names match `pattern` by the Windows rules, in
// the order an NTFS directory lists them, each with its attribute word. "." and ".." are
// listed when `withDots` is set and they match. An entry that is gone by the time it is
// looked at is left out; any other failed look fails the listing. Returns no error, or the
// failed call's.
CallError listMatching(int dirfd, const std::string& pattern, bool withDots, std::vector<FoundEntry>& out);

// Opens `name` in `dirfd` (AT_FDCWD: a path) for reading without waiting on a pipe or a
// device, and refuses anything that is not a regular file with NotAFileOrDirectory (a
// directory with EISDIR, as the system would). With `noFollow` a link is refused (ELOOP).
// `info`, when given, receives the opened file's status. Returns no error, or the failed
// call's (a refusal of the updater's own names no call).
CallError openRegularFile(int dirfd, const char* name, bool noFollow, Descriptor& out, struct stat* info = nullptr);

}  // namespace os::detail
