#include "make/update_plan.h"

#include <map>

#include "text/script_path.h"

namespace {

bool holds(const std::string& directory, const std::string& path) {
    return path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
           path[directory.size()] == '\\';
}

}  // namespace

UpdatePlan planUpdate(const std::vector<TreeEntry>& old, const std::vector<TreeEntry>& made,
                      const std::function<bool(const std::string& path)>& same) {
    std::map<std::string, const TreeEntry*> before;
    std::map<std::string, const TreeEntry*> after;
    for (const TreeEntry& entry : old) before[entry.path] = &entry;
    for (const TreeEntry& entry : made) after[entry.path] = &entry;
    UpdatePlan plan;
    // What the old version has that the new one has not: its files are deleted one by one,
    // each checked first; a directory stays, emptied of them, with anything a user put there.
    // Only a directory whose name the new version gives a file is deleted whole.
    for (const TreeEntry& entry : old) {
        const auto found = after.find(entry.path);
        if (found != after.end() && found->second->directory == entry.directory) continue;
        if (!plan.removedDirectories.empty() && holds(plan.removedDirectories.back(), entry.path)) continue;
        if (!entry.directory) plan.removed.push_back(entry.path);
        else if (found != after.end()) plan.removedDirectories.push_back(entry.path);
    }
    for (const TreeEntry& entry : made) {
        const auto found = before.find(entry.path);
        const bool existed = found != before.end() && found->second->directory == entry.directory;
        if (entry.directory) {
            if (existed) continue;
            // A new directory that no added file lies in is made by itself.
            bool filled = false;
            // What a directory holds sorts together, right after its path and a separator.
            for (auto next = after.lower_bound(entry.path + "\\"); next != after.end() && holds(entry.path, next->first);
                 ++next)
                if (!next->second->directory) {
                    filled = true;
                    break;
                }
            if (!filled) plan.emptyDirectories.push_back(entry.path);
            continue;
        }
        if (!existed) plan.added.push_back(entry.path);
        else if (!same(entry.path)) plan.changed.push_back(entry.path);
    }
    // Only the innermost empty directories need making: MAKEDIR makes every missing level.
    std::vector<std::string> innermost;
    for (size_t i = 0; i < plan.emptyDirectories.size(); ++i)
        if (i + 1 == plan.emptyDirectories.size() || !holds(plan.emptyDirectories[i], plan.emptyDirectories[i + 1]))
            innermost.push_back(plan.emptyDirectories[i]);
    plan.emptyDirectories = std::move(innermost);
    return plan;
}
