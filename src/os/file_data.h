// A file's content and last-write date for the commands that test files by CRC and by
// date: a read that shares the file with nobody while it lasts. No platform type here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "os/result.h"

namespace os {

// A calendar date in the machine's local time zone.
struct LocalDate {
    unsigned year;
    unsigned month;  // 1 to 12
    unsigned day;    // 1 to 31
};

// A regular file opened for reading that nobody else may open while it is open, and that is
// not opened at all when somebody already has it open (the Windows share mode 0). POSIX sees
// only the holders that lock the file as we do (flock). Anything that is not a regular file
// (a directory, a pipe, a device) is refused without waiting on it.
class ExclusiveFile {
public:
    explicit ExclusiveFile(const std::string& path);
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Why it is not open, or ok.
    const Result& opened() const;
    bool isOpen() const { return opened().ok(); }
    // Reads up to `n` bytes from where the last read ended into `buffer`; `got` is the count
    // read (0 at the end).
    Result read(void* buffer, size_t n, size_t& got);
    // Up to `n` bytes from `offset`, whatever was read before; `got` is short only at the
    // file's end. (On Windows it moves the position a later read goes on from.)
    Result readAt(uint64_t offset, void* buffer, size_t n, size_t& got);
    Result size(uint64_t& out) const;
    Result lastWriteDate(LocalDate& out) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace os
