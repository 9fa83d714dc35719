// Ownership of a POSIX file descriptor, closed on every way out: the counterpart of the
// Win32 handle owner. Only POSIX code includes this.
#pragma once

#include <utility>

#include "os/posix/system_calls.h"

namespace os::detail {

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Only for what was read, or what a failure already stopped: a file written to is closed
    // with close(), whose result counts.
    void reset(int fd = -1) {
        if (fd_ >= 0) (void)sys::close(fd_);  // nothing was written that a failure could lose
        fd_ = fd;
    }
    // A file's last data may only fail to reach the disk at close, so here the result counts.
    bool close() { return sys::close(std::exchange(fd_, -1)) == 0; }
    // Gives the descriptor up to an owner of another kind (a directory stream).
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

}  // namespace os::detail
