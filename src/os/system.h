// What the updater asks of the system about itself and the machine: its own path, the
// Windows and system directories, and the platform family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace os {

// The running executable's full path in script form ("\" separators), at any length.
std::string modulePath();
// The Windows and system directories; on POSIX their counterparts "\etc" and "\usr\bin"
// (docs/posix-emulation.md says why).
std::string windowsDirectory();
std::string systemDirectory();
// Fills `out` from the system's source of unpredictable numbers; false when it has none.
bool randomBytes(void* out, size_t size);

// A name for a file made beside another and then put in its place: "~upd", 16 hexadecimal
// digits from the system's random source, ".tmp". Nobody can know it before it is made, so
// nothing can be waiting under it.
std::string temporaryName();

// The seam for tests: while set, temporary names take their digits from here instead.
void setTemporaryNameSource(std::function<uint64_t()> source);

// True on the NT family of Windows; always true on POSIX, which is treated as the modern family.
bool isNtPlatform();

// The local time now, to the millisecond.
struct LocalTime {
    unsigned year, month, day, hour, minute, second, millisecond;
};
LocalTime localNow();
// Milliseconds from some fixed moment: for durations only.
uint64_t steadyMilliseconds();
void sleepMilliseconds(unsigned milliseconds);

// What a log's header says of the machine: the system and its version, and the user the
// updater runs as (whether with administrator's rights: os/rights.h).
std::string systemDescription();
std::string userName();

// The process's current directory in script form; empty when the system cannot tell.
std::string currentDirectory();

}  // namespace os
