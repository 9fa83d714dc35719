// Files and directory searches emulated over POSIX calls with the Windows behaviour the
// commands are written against. Paths arrive in script form and are translated here only.
// Only POSIX code belongs here.
#include <dirent.h>

#include <algorithm>
#include <vector>

#include "os/files.h"
#include "os/posix/attribute_words.h"
#include "os/posix/path_resolution.h"
#include "os/posix/wildcard.h"

namespace os {
namespace {

unsigned char upper(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// The order an NTFS directory lists in: "." and ".." first, then by upper-cased name. A
// fixed order makes a run repeatable: the same script stops at the same file every time.
bool listedBefore(const std::string& a, const std::string& b) {
    const auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]);
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names that differ only in case, which this system allows
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

struct DirectorySearch::Impl {
    std::string directory;           // native, without a trailing "/" unless it is the root
    std::vector<std::string> names;  // what matched, in listing order
    size_t next = 0;
    FoundEntry current;
    bool found = false;

    // Moves to the next name that still exists: an entry removed since the listing (the
    // walker deletes as it goes) is passed over, not reported without attributes.
    bool advance() {
        while (next < names.size()) {
            const std::string& name = names[next++];
            const std::string path = directory == "/" ? "/" + name : directory + "/" + name;
            const uint32_t word = detail::entryAttributes(path, name);
            if (word == InvalidAttributes) continue;
            current = {name, word};
            return found = true;
        }
        return found = false;
    }
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(std::make_unique<Impl>()) {
    const std::string native = detail::resolvedNativePath(pattern);
    // Windows refuses a search that ends in a separator: a directory is found by its name.
    if (native.empty() || native.back() == '/') return;

    const size_t slash = native.rfind('/');
    const std::string last = slash == std::string::npos ? native : native.substr(slash + 1);
    impl_->directory = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);

    if (!detail::hasWildcards(last)) {
        impl_->names.push_back(last);
        impl_->advance();
        return;
    }

    // The names are read in full and the handle closed at once: a walk keeps one search per
    // level open, and a deep tree must not run out of descriptors. Entries created after this
    // point are not listed, which Windows also allows.
    std::unique_ptr<DIR, DirCloser> dir(::opendir(impl_->directory.c_str()));
    if (!dir) return;
    detail::Wildcard wildcard(last);
    while (const dirent* e = ::readdir(dir.get()))
        if (wildcard.matches(e->d_name)) impl_->names.emplace_back(e->d_name);
    dir.reset();
    std::sort(impl_->names.begin(), impl_->names.end(), listedBefore);
    impl_->advance();
}

DirectorySearch::~DirectorySearch() = default;

bool DirectorySearch::found() const { return impl_->found; }

const FoundEntry& DirectorySearch::entry() const { return impl_->current; }

bool DirectorySearch::next() { return impl_->found && impl_->advance(); }

uint32_t fileAttributes(const std::string& path) {
    const std::string native = detail::resolvedNativePath(path);
    if (native.empty()) return InvalidAttributes;
    const size_t end = native.size() > 1 && native.back() == '/' ? native.size() - 1 : native.size();
    const size_t slash = native.rfind('/', end - 1);
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = native.substr(start, end - start);
    // A trailing separator stays on the path: the system then answers for a directory only,
    // as GetFileAttributesA takes "C:\dir\" and refuses "C:\file.txt\".
    return detail::entryAttributes(native, name);
}

}  // namespace os
