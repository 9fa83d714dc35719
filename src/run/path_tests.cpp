// The three path tests over the files layer. Portable code only: the answers differ between
// systems exactly where the files layer says they do.
#include "run/path_tests.h"

#include "os/files.h"

// A search rather than an attribute query, so that a pattern counts as present when it
// matches, and a directory only when it is written without a trailing separator.
bool pathExists(const Text& path) { return os::DirectorySearch(path.str()).found(); }

bool getAttributes(const Text& path, uint32_t& attributes) {
    return os::fileAttributes(path.str(), attributes).ok();
}

bool isDirectory(const Text& path) {
    uint32_t attributes = 0;
    return getAttributes(path, attributes) && (attributes & os::AttributeDirectory) != 0;
}

os::Result findPath(const Text& path, bool& present) {
    const os::DirectorySearch search(path.str());
    present = search.found();
    if (present || search.result().ok() || os::isNotFound(search.result().error())) return {};
    return search.result();
}

os::Result lookAtPath(const Text& path, uint32_t& attributes) {
    const os::Result looked = os::fileAttributes(path.str(), attributes);
    if (looked || !os::isNotFound(looked.error())) return looked;
    attributes = os::InvalidAttributes;
    return {};
}
