// What the expansion fuzz target needs of the system, answered without one: fixed
// directories, no files, and the seam's lookups only.
#include "fuzz/expansion_stubs.h"

#include <cerrno>
#include <string>

#include "os/files.h"
#include "os/script_source.h"
#include "os/system.h"

namespace os {
std::string windowsDirectory() { return "C:\\WINDOWS"; }
std::string systemDirectory() { return "C:\\WINDOWS\\system32"; }
bool isNtPlatform() { return true; }
Result readWholeFile(const std::string& path, std::string&) { return Result::fail(Operation::Open, path, ENOENT); }
std::string ansiToUtf8(std::string_view text) { return std::string(text); }
uint32_t attributesOf(const std::string&) { return InvalidAttributes; }

// A run's log and journal, never opened here.
struct AppendFile::Impl {};
AppendFile::AppendFile() = default;
AppendFile::~AppendFile() = default;
bool isNotFound(ErrorCode error) { return error == ENOENT; }

namespace detail {
// Never reached while the target's own lookups are installed through the seam.
bool platformSpecialFolderPath(int, std::string&) { return false; }
bool platformAppPathValue(const std::string&, const std::string&, std::string&) { return false; }
}  // namespace detail
}  // namespace os
