// Files and directory searches over the Win32 ANSI calls, exactly as the commands expect
// them. Only Win32 code belongs here.
#include <windows.h>

#include "os/files.h"

namespace os {

struct DirectorySearch::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    FoundEntry current;
    bool found = false;

    void take() {
        current = {data.cFileName, data.dwFileAttributes};
        found = true;
    }
    // The handle goes as soon as the listing ends, not only when the search object does.
    void close() {
        if (handle != INVALID_HANDLE_VALUE) ::FindClose(handle);
        handle = INVALID_HANDLE_VALUE;
        found = false;
    }
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(std::make_unique<Impl>()) {
    impl_->handle = ::FindFirstFileA(pattern.c_str(), &impl_->data);
    if (impl_->handle != INVALID_HANDLE_VALUE) impl_->take();
}

DirectorySearch::~DirectorySearch() { impl_->close(); }

bool DirectorySearch::found() const { return impl_->found; }

const FoundEntry& DirectorySearch::entry() const { return impl_->current; }

bool DirectorySearch::next() {
    if (!impl_->found) return false;
    // Any failure ends the listing, whatever its reason: there is nothing more to visit.
    if (!::FindNextFileA(impl_->handle, &impl_->data)) {
        impl_->close();
        return false;
    }
    impl_->take();
    return true;
}

uint32_t fileAttributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

}  // namespace os
