// Directory searches, attribute words and final paths emulated over POSIX calls with the
// Windows behaviour the commands are written against. Paths arrive in script form and are
// translated here only. Only POSIX code belongs here.
#include "os/files.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os/posix/attribute_words.h"
#include "os/posix/descriptor.h"
#include "os/posix/listing.h"
#include "os/posix/native_path.h"
#include "os/posix/system_calls.h"
#include "os/posix/wildcard.h"

namespace os {

struct DirectorySearch::Impl {
    std::vector<FoundEntry> entries;
    size_t current = 0;
    Result result;
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(std::make_unique<Impl>()) {
    const std::string native = detail::nativePath(pattern);
    // Windows refuses a search that ends in a separator: a directory is found by its name.
    if (native.empty() || native.back() == '/') {
        impl_->result = Result::fail(Operation::Look, pattern, ENOENT);
        return;
    }
    const size_t slash = native.rfind('/');
    const std::string last = slash == std::string::npos ? native : native.substr(slash + 1);
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);

    // A search looks through links on its way, as Windows does: it only reads.
    const detail::Descriptor dir(detail::sys::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    detail::CallError error = dir.valid() ? detail::CallError() : detail::failedCall("open");
    if (!error && !detail::hasWildcards(last)) {
        FoundEntry entry{last, 0, 0};
        error = detail::lookAt(dir.get(), last.c_str(), last, false, entry);
        if (!error) impl_->entries.push_back(std::move(entry));
    } else if (!error) {
        error = detail::listMatching(dir.get(), last, true, impl_->entries);
    }
    if (error)
        impl_->result = detail::failure(Operation::List, pattern, error);
    else if (impl_->entries.empty())
        impl_->result = Result::fail(Operation::Look, pattern, ENOENT);
}

DirectorySearch::~DirectorySearch() = default;

bool DirectorySearch::found() const { return impl_->current < impl_->entries.size(); }

const FoundEntry& DirectorySearch::entry() const { return impl_->entries[impl_->current]; }

bool DirectorySearch::next() {
    if (!found()) return false;
    ++impl_->current;
    return found();
}

const Result& DirectorySearch::result() const { return impl_->result; }

Result fileAttributes(const std::string& path, uint32_t& attributes) {
    attributes = InvalidAttributes;
    const std::string native = detail::nativePath(path);
    if (native.empty()) return Result::fail(Operation::Look, path, ENOENT);
    const size_t end = native.size() > 1 && native.back() == '/' ? native.size() - 1 : native.size();
    const size_t slash = native.rfind('/', end - 1);
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    // A trailing separator stays on the path: the system then answers for a directory only,
    // as GetFileAttributesW takes "C:\dir\" and refuses "C:\file.txt\".
    FoundEntry entry;
    if (const detail::CallError error =
            detail::lookAt(AT_FDCWD, native.c_str(), native.substr(start, end - start), false, entry))
        return detail::failure(Operation::Look, path, error);
    attributes = entry.attributes;
    return {};
}

uint32_t attributesOf(const std::string& path) {
    uint32_t attributes = InvalidAttributes;
    (void)fileAttributes(path, attributes);  // a failure leaves InvalidAttributes, which says so
    return attributes;
}

bool isNotFound(ErrorCode error) { return error == ENOENT || error == ENOTDIR; }

bool isAccessDenied(ErrorCode error) { return error == EACCES || error == EPERM; }

ErrorCode nothingMatches() { return ENOENT; }

bool isAlreadyThere(ErrorCode error) { return error == EEXIST; }

bool isCrossVolume(ErrorCode error) { return error == EXDEV; }

bool isHeldByAnother(ErrorCode) { return false; }

void removeAtRestart(const std::string&) {}

std::vector<std::string> programsHolding(const std::string&) { return {}; }

std::string finalPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(detail::sys::realpath(detail::nativePath(path).c_str()),
                                                               &std::free);
    return resolved ? detail::scriptForm(resolved.get()) : std::string();
}

std::string describeError(ErrorCode code) {
    if (code == 0 || isOwnRefusal(code)) return {};
    char buffer[256];
    // The GNU strerror_r gives back where it put the text, which need not be the buffer.
    return ::strerror_r(static_cast<int>(code), buffer, sizeof buffer);
}

}  // namespace os
