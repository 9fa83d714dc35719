// What changes between two versions of an application, entry by entry: the plan an update
// is written from.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "make/tree_listing.h"

struct UpdatePlan {
    std::vector<std::string> changed;             // files in both whose contents differ
    std::vector<std::string> added;               // files only the new version has
    std::vector<std::string> removed;             // files only the old version has
    std::vector<std::string> removedDirectories;  // directories where the new version has a file
    std::vector<std::string> emptyDirectories;    // new directories that no added file makes
};

// Compares the two listings; `same(path)` tells whether a file both have is unchanged. A
// path that is a file in one version and a directory in the other is removed and added.
UpdatePlan planUpdate(const std::vector<TreeEntry>& old, const std::vector<TreeEntry>& made,
                      const std::function<bool(const std::string& path)>& same);
