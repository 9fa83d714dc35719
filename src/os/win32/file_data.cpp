// Exclusive reads and last-write dates through kernel32. Only Win32 code belongs here.
#include "os/file_data.h"

#include <windows.h>

namespace os {

struct ExclusiveFile::Impl {
    HANDLE file = INVALID_HANDLE_VALUE;
};

ExclusiveFile::ExclusiveFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

ExclusiveFile::~ExclusiveFile() {
    if (isOpen()) CloseHandle(impl_->file);
}

bool ExclusiveFile::isOpen() const { return impl_->file != INVALID_HANDLE_VALUE; }

bool ExclusiveFile::read(void* buffer, size_t n, size_t& got) {
    DWORD count = 0;
    // Callers read in blocks far below 4 GiB, so one call serves each block.
    if (!ReadFile(impl_->file, buffer, static_cast<DWORD>(n), &count, nullptr)) return false;
    got = count;
    return true;
}

bool ExclusiveFile::lastWriteDate(LocalDate& out) const {
    FILETIME written;
    FILETIME local;
    SYSTEMTIME fields;
    if (!GetFileTime(impl_->file, nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
        !FileTimeToSystemTime(&local, &fields))
        return false;
    out = {fields.wYear, fields.wMonth, fields.wDay};
    return true;
}

}  // namespace os
