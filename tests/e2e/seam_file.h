// Where a test build of the updater finds the file that tells its seam what to do: beside the
// executable, under `name`, as this system names the path.
#pragma once

#include <string>

#include "os/system.h"
#include "text/script_path.h"

inline std::string seamFile(const char* name) {
    std::string path = paths::join(paths::parentOf(os::modulePath()), name);
#ifndef _WIN32
    for (char& c : path)
        if (c == '\\') c = '/';
#endif
    return path;
}
