// The profile functions rebuilt over our own INI reader: the file is read whole on every
// call, as the Windows functions see every change. Only POSIX code belongs here.
#include "os/profile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "os/posix/path_form.h"
#include "run/ini_file.h"

namespace os {
namespace {

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The file's bytes, or none where Windows could not open it. A file missing from a directory
// that exists is no failure there: it reads as an empty file.
std::optional<std::string> readScript(const std::string& scriptPath) {
    const std::string path = detail::toNativeForm(scriptPath);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return std::nullopt;
        const size_t slash = path.rfind('/');
        const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        if (isDirectory(parent)) return std::string();
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    struct stat info {};
    // Windows cannot open a directory as a profile file.
    if (::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) {
        bytes.emplace();
        char chunk[65536];
        ssize_t got;
        while ((got = ::read(fd, chunk, sizeof chunk)) > 0) bytes->append(chunk, static_cast<size_t>(got));
        if (got < 0) bytes.reset();
    }
    ::close(fd);
    return bytes;
}

}  // namespace

std::string profileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& fallback, unsigned size) {
    const std::optional<std::string> bytes = readScript(file);
    if (!bytes) return profileStringWithoutFile(fallback, size);
    return IniFile(*bytes).profileString(section, key, fallback, size);
}

std::vector<std::string> profileSection(const std::string& file, const std::string& section, unsigned size) {
    const std::optional<std::string> bytes = readScript(file);
    if (!bytes) return {};
    return IniFile(*bytes).profileSection(section, size);
}

}  // namespace os
