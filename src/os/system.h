// What the updater asks of the system about itself and the machine: its own path, the
// Windows and system directories, and the platform family.
#pragma once

#include <cstddef>
#include <string>

namespace os {

// The running executable's full path in script form ("\" separators); on Windows at most
// 259 bytes, the most a 260-byte area holds.
std::string modulePath();
// The Windows and system directories; on POSIX their counterparts "\etc" and "\usr\bin"
// (docs/posix-emulation.md says why).
std::string windowsDirectory();
std::string systemDirectory();
// Fills `out` from the system's source of unpredictable numbers; false when it has none.
bool randomBytes(void* out, size_t size);

// True on the NT family of Windows; always true on POSIX, which is treated as the modern family.
bool isNtPlatform();

}  // namespace os
