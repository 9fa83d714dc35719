// The updater's own path, the counterparts of the Windows and system directories, and the
// platform family, on POSIX. Only POSIX code belongs here.
#include <pwd.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include <string>

#include "os/posix/native_path.h"
#include "os/posix/system_calls.h"
#include "os/system.h"

namespace os {

std::string modulePath() {
    // The link's target can be longer than any fixed area; grow until it fits.
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = detail::sys::readlink("/proc/self/exe", target.data(), target.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < target.size()) {
            target.resize(static_cast<size_t>(n));
            return detail::scriptForm(target);
        }
        target.resize(target.size() * 2);
    }
}

// Scripts put their machine-wide settings files into the Windows directory; on Linux those
// live in /etc.
std::string windowsDirectory() { return "\\etc"; }

// Scripts reach the system's own programs through the system directory; on Linux those are
// in /usr/bin. (Shared libraries have no such common place to be copied into: the loader
// finds a vendor's libraries beside its program or through its own search path.)
std::string systemDirectory() { return "\\usr\\bin"; }

bool randomBytes(void* out, size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ssize_t n = detail::sys::getrandom(bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Linux stands with the modern family. The answer only chooses which folder numbers the
// built-in symbols ask for, and the folder table in shell.cpp gives both kinds the same places.
bool isNtPlatform() { return true; }

LocalTime localNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    return {static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
            static_cast<unsigned>(local.tm_mday), static_cast<unsigned>(local.tm_hour),
            static_cast<unsigned>(local.tm_min), static_cast<unsigned>(local.tm_sec),
            static_cast<unsigned>(now.tv_nsec / 1000000)};
}

uint64_t steadyMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

void sleepMilliseconds(unsigned milliseconds) {
    timespec delay{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

std::string systemDescription() {
    utsname name{};
    if (::uname(&name) != 0) return "Linux";
    return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

std::string userName() {
    std::vector<char> area(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, area.data(), area.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return std::to_string(::geteuid());
}

std::string currentDirectory() {
    std::vector<char> area(4096);
    for (;;) {
        if (::getcwd(area.data(), area.size())) return detail::scriptForm(area.data());
        if (errno != ERANGE || area.size() >= (1u << 20)) return {};
        area.resize(area.size() * 2);
    }
}

}  // namespace os
