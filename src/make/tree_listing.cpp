#include "make/tree_listing.h"

#include <algorithm>

#include "os/files.h"
#include "text/script_path.h"

namespace {

os::Result listInto(const os::Directory& directory, const std::string& below, std::vector<TreeEntry>& out,
                    std::string& link) {
    std::vector<os::FoundEntry> entries;
    if (os::Result r = directory.list("*", entries); !r) return r;
    for (const os::FoundEntry& entry : entries) {
        // A name a Windows file cannot have (Linux allows "\\") would read as two elements.
        if (entry.name.find('\\') != std::string::npos)
            return os::Result::fail(os::Operation::List, directory.pathOf(entry.name), os::NameHoldsSeparator);
        const std::string path = below.empty() ? entry.name : paths::join(below, entry.name);
        if (os::isLinkWord(entry.attributes)) {
            link = path;
            return os::Result::fail(os::Operation::List, directory.pathOf(entry.name), os::UntrustedLink);
        }
        const bool isDirectory = os::isDirectoryWord(entry.attributes);
        out.push_back({path, isDirectory, entry.size});
        if (!isDirectory) continue;
        os::Directory child;
        if (os::Result r = directory.openChild(entry.name, child); !r) return r;
        if (os::Result r = listInto(child, path, out, link); !r) return r;
    }
    return {};
}

}  // namespace

os::Result listTree(const std::string& root, std::vector<TreeEntry>& out, std::string& link) {
    out.clear();
    os::Directory directory;
    if (os::Result r = os::Directory::open(root, directory); !r) return r;
    if (os::Result r = listInto(directory, "", out, link); !r) return r;
    // By path, element by element, so that a directory comes right before what it holds.
    std::sort(out.begin(), out.end(), [](const TreeEntry& a, const TreeEntry& b) {
        return paths::resolvedElements(a.path, true) < paths::resolvedElements(b.path, true);
    });
    return {};
}
