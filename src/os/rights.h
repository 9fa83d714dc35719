// What the updater asks of the system about rights: whether it runs with administrator's
// (Windows) or root's (POSIX) rights, whether this user may make entries in a directory, and
// the start of a program with administrator rights, which on Windows asks the user for
// consent. No platform type here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "os/result.h"

namespace os {

bool isElevated();

// What a run will do in an existing directory.
enum class DirectoryChange {
    AddFolder,      // make a folder in it (a path below it is missing)
    ChangeEntries,  // make, replace and remove what is in it
};

// Whether this user may make `change` in the existing directory `directory` (script form):
// an access check of its security against the process's own rights, never a trial write.
// Success when it may; AccessDenied when it may not; any other failure when the system could
// not tell.
Result mayWriteIn(const std::string& directory, DirectoryChange change);

// Starts `program` with administrator rights, with `parameters` and `directory` as its
// current directory, and waits for its end (`untilEnd`) or until it is ready for input,
// as startProcess does. Where it waited for the end, `exitCode` receives the program's exit
// code; `stillWaiting` is called meanwhile as waitForProcess calls it. A declined consent
// prompt fails with the system's "cancelled" (1223 on Windows); POSIX, which has no consent
// prompt of its own, refuses with NoWayToElevate.
Result startElevated(const std::string& program, const std::string& parameters, const std::string& directory,
                     bool untilEnd, uint32_t* exitCode = nullptr, const std::function<void()>& stillWaiting = nullptr);

// `path` as a program started with administrator rights reaches it: the elevated session
// does not see the user's mapped drives, so a path on one is given by the share's own name
// ("\\server\share\..."). Any other path, or one whose share cannot be told, as it is.
std::string pathSeenElevated(const std::string& path);

// The error a declined consent prompt gives back.
bool isDeclined(ErrorCode error);

// The seam for tests: while a member is set, the matching call goes to it instead of the
// system. Empty members restore the system's own answers.
struct RightsSeam {
    std::function<bool()> elevated;
    std::function<Result(const std::string& directory, DirectoryChange change)> mayWriteIn;
    std::function<Result(const std::string& program, const std::string& parameters, const std::string& directory,
                         bool untilEnd, uint32_t* exitCode)>
        startElevated;
    std::function<std::string(const std::string& path)> pathSeenElevated;
};
void setRightsSeam(RightsSeam seam);

}  // namespace os
