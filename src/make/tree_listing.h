// The files and directories of a version of the application, by their paths below its root,
// in one order whatever the system lists them in: what makes the same two trees always give
// the same update.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "os/result.h"

struct TreeEntry {
    std::string path;  // below the root, "\" between its elements
    bool directory = false;
    uint64_t size = 0;
};

// Every entry below `root`, parents before what they hold, sorted by path. A link anywhere
// in the tree is refused (`link` names it): an update copies what is there, never where a
// link leads.
os::Result listTree(const std::string& root, std::vector<TreeEntry>& out, std::string& link);
