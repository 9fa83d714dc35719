// Exclusive reads and last-write dates through kernel32. Only Win32 code belongs here.
#include "os/file_data.h"

#include <windows.h>

#include "os/win32/handle.h"
#include "os/win32/wide.h"

namespace os {

struct ExclusiveFile::Impl {
    detail::Handle file;
    std::string path;
    Result opened;
};

ExclusiveFile::ExclusiveFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    detail::Handle file(::CreateFileW(detail::systemPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        impl_->opened = Result::fail(Operation::Open, path, ::GetLastError());
        return;
    }
    // A pipe, a console or a device opens like a file, and would be read without end.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        impl_->opened = Result::fail(Operation::Open, path, NotAFileOrDirectory);
        return;
    }
    impl_->file = std::move(file);
}

ExclusiveFile::~ExclusiveFile() = default;

const Result& ExclusiveFile::opened() const { return impl_->opened; }

Result ExclusiveFile::read(void* buffer, size_t n, size_t& got) {
    DWORD count = 0;
    // Callers read in blocks far below 4 GiB, so one call serves each block.
    if (!::ReadFile(impl_->file.get(), buffer, static_cast<DWORD>(n), &count, nullptr))
        return Result::fail(Operation::Read, impl_->path, ::GetLastError());
    got = count;
    return {};
}

Result ExclusiveFile::lastWriteDate(LocalDate& out) const {
    FILETIME written;
    FILETIME local;
    SYSTEMTIME fields;
    if (!::GetFileTime(impl_->file.get(), nullptr, nullptr, &written) || !::FileTimeToLocalFileTime(&written, &local) ||
        !::FileTimeToSystemTime(&local, &fields))
        return Result::fail(Operation::Look, impl_->path, ::GetLastError());
    out = {fields.wYear, fields.wMonth, fields.wDay};
    return {};
}

}  // namespace os
