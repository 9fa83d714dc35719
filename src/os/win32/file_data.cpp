// Exclusive reads and last-write dates through kernel32; the calls on the file go through the
// table of system_calls.h. Only Win32 code belongs here.
#include "os/file_data.h"
#include "os/win32/positioned_read.h"

#include <windows.h>

#include "os/win32/handle.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os {

struct ExclusiveFile::Impl {
    detail::Handle file;
    std::string path;
    Result opened;
};

ExclusiveFile::ExclusiveFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    detail::Handle file(detail::sys::CreateFileW(detail::systemPath(path).c_str(), GENERIC_READ, 0, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        impl_->opened = detail::lastFailure(Operation::Open, path, "CreateFileW");
        return;
    }
    // A pipe, a console or a device opens like a file, and would be read without end.
    if (detail::sys::GetFileType(file.get()) != FILE_TYPE_DISK) {
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
    if (!detail::sys::ReadFile(impl_->file.get(), buffer, static_cast<DWORD>(n), &count, nullptr))
        return detail::lastFailure(Operation::Read, impl_->path, "ReadFile");
    got = count;
    return {};
}

Result ExclusiveFile::readAt(uint64_t offset, void* buffer, size_t n, size_t& got) {
    if (const char* failed = detail::readAtOffset(impl_->file.get(), offset, buffer, n, got))
        return detail::lastFailure(Operation::Read, impl_->path, failed);
    return {};
}

Result ExclusiveFile::size(uint64_t& out) const {
    LARGE_INTEGER size;
    if (!detail::sys::GetFileSizeEx(impl_->file.get(), &size))
        return detail::lastFailure(Operation::Look, impl_->path, "GetFileSizeEx");
    out = static_cast<uint64_t>(size.QuadPart);
    return {};
}

Result ExclusiveFile::lastWriteDate(LocalDate& out) const {
    FILETIME written;
    FILETIME local;
    SYSTEMTIME fields;
    if (!detail::sys::GetFileTime(impl_->file.get(), nullptr, nullptr, &written))
        return detail::lastFailure(Operation::Look, impl_->path, "GetFileTime");
    // The conversions only work on the time given, and fail only for one outside what a date
    // can hold: they are not in the table.
    if (!::FileTimeToLocalFileTime(&written, &local))
        return detail::lastFailure(Operation::Look, impl_->path, "FileTimeToLocalFileTime");
    if (!::FileTimeToSystemTime(&local, &fields))
        return detail::lastFailure(Operation::Look, impl_->path, "FileTimeToSystemTime");
    out = {fields.wYear, fields.wMonth, fields.wDay};
    return {};
}

}  // namespace os
