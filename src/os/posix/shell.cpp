// Special folders on Linux: each folder number that has a place serving the same purpose is
// mapped to it (XDG base and user directories, else the home directory's usual names). There
// is no registry, so no program has an App Paths registration. Only POSIX code belongs here.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "os/posix/native_path.h"
#include "os/shell.h"
#include "os/shell_platform.h"
#include "os/system.h"

namespace os::detail {
namespace {

// Where a folder lies: below one of the XDG roots, at an XDG user directory, or fixed.
enum class Root { UserDir, DataHome, ConfigHome, CacheHome, Home, Fixed, Windows, System };

struct FolderPlace {
    int folder;
    Root root;
    // UserDir: the key in user-dirs.dirs; DataHome, ConfigHome: the directory below that
    // root ("" for the root itself); Fixed: the absolute path.
    const char* where;
    // UserDir: the name below home when user-dirs.dirs does not name the directory.
    const char* fallback;
};

// The common (all users) folders give the same places as the user's own: Linux has no
// desktop shared by all users, and the system-wide menu and autostart directories belong
// to the package manager, where an updater run by the user could not write anyway.
constexpr FolderPlace folderPlaces[] = {
    {0x00, Root::UserDir, "XDG_DESKTOP_DIR", "Desktop"},  // desktop (the shell's root)
    {0x02, Root::DataHome, "applications", nullptr},       // programs menu
    {0x05, Root::UserDir, "XDG_DOCUMENTS_DIR", "Documents"},
    {0x07, Root::ConfigHome, "autostart", nullptr},        // startup
    {0x0B, Root::DataHome, "applications", nullptr},       // start menu
    {0x0D, Root::UserDir, "XDG_MUSIC_DIR", "Music"},
    {0x0E, Root::UserDir, "XDG_VIDEOS_DIR", "Videos"},
    {0x10, Root::UserDir, "XDG_DESKTOP_DIR", "Desktop"},   // desktop directory
    {0x14, Root::DataHome, "fonts", nullptr},
    {0x15, Root::UserDir, "XDG_TEMPLATES_DIR", "Templates"},
    {0x16, Root::DataHome, "applications", nullptr},       // common start menu
    {0x17, Root::DataHome, "applications", nullptr},       // common programs menu
    {0x18, Root::ConfigHome, "autostart", nullptr},        // common startup
    {0x19, Root::UserDir, "XDG_DESKTOP_DIR", "Desktop"},   // common desktop directory
    {0x1A, Root::ConfigHome, "", nullptr},                 // application data (roaming settings)
    {0x1C, Root::DataHome, "", nullptr},                   // local application data
    {0x20, Root::CacheHome, "", nullptr},                  // internet cache
    {0x23, Root::DataHome, "", nullptr},                   // common application data
    {0x24, Root::Windows, nullptr, nullptr},               // the Windows directory
    {0x25, Root::System, nullptr, nullptr},                // the system directory
    {0x26, Root::Fixed, "/opt", nullptr},                  // program files
    {0x27, Root::UserDir, "XDG_PICTURES_DIR", "Pictures"},
    {0x28, Root::Home, nullptr, nullptr},                  // the user's profile
    {0x29, Root::System, nullptr, nullptr},                // the 32-bit system directory
    {0x2A, Root::Fixed, "/opt", nullptr},                  // 32-bit program files
    {0x2D, Root::UserDir, "XDG_TEMPLATES_DIR", "Templates"},
    {0x2E, Root::UserDir, "XDG_DOCUMENTS_DIR", "Documents"},
    {0x35, Root::UserDir, "XDG_MUSIC_DIR", "Music"},
    {0x36, Root::UserDir, "XDG_PICTURES_DIR", "Pictures"},
    {0x37, Root::UserDir, "XDG_VIDEOS_DIR", "Videos"},
};

// Bits above the folder number ask the shell to create or not to verify the folder; they
// do not change which folder is meant, and this table does not verify anyway.
constexpr int FolderNumberMask = 0xFF;
constexpr int FolderFlagMask = 0xFF00;

std::optional<std::string> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    // The XDG rules make a relative path in these variables invalid, to be ignored.
    if (!value || value[0] != '/') return std::nullopt;
    return std::string(value);
}

std::optional<std::string> homeDirectory() {
    if (auto home = absoluteVariable("HOME")) return home;
    std::vector<char> area(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, area.data(), area.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return std::string(found->pw_dir);
    return std::nullopt;
}

// A home or root of "/" must not give "//name".
std::string below(const std::string& directory, const std::string& name) {
    if (name.empty()) return directory;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::optional<std::string> xdgRoot(const char* variable, const char* belowHome) {
    if (auto root = absoluteVariable(variable)) return root;
    if (auto home = homeDirectory()) return below(*home, belowHome);
    return std::nullopt;
}

// One line of user-dirs.dirs after the "=": a double-quoted value whose "$HOME" prefix
// stands for the home directory, as the file is written to be read by a shell.
std::optional<std::string> userDirValue(const std::string& raw, const std::string& home) {
    std::string value;
    if (!raw.empty() && raw[0] == '"') {
        bool closed = false;
        for (size_t k = 1; k < raw.size(); ++k) {
            if (raw[k] == '\\' && k + 1 < raw.size()) {
                value += raw[++k];
            } else if (raw[k] == '"') {
                closed = true;
                break;
            } else {
                value += raw[k];
            }
        }
        if (!closed) return std::nullopt;
    } else {
        value = raw.substr(0, raw.find_first_of(" \t"));
    }
    const std::string homeVariable = "$HOME";
    if (value.compare(0, homeVariable.size(), homeVariable) == 0) {
        const std::string rest = value.substr(homeVariable.size());
        if (!rest.empty() && rest[0] != '/') return std::nullopt;
        return rest.empty() ? home : below(home, rest.substr(1));
    }
    if (!value.empty() && value[0] == '/') return value;
    return std::nullopt;
}

std::optional<std::string> userDirectory(const char* key, const char* fallback) {
    const auto home = homeDirectory();
    if (!home) return std::nullopt;
    std::optional<std::string> found;
    if (const auto config = xdgRoot("XDG_CONFIG_HOME", ".config")) {
        std::ifstream file(below(*config, "user-dirs.dirs"));
        const std::string prefix = std::string(key) + "=";
        std::string line;
        // The file is read as a shell would: the last assignment of a name counts.
        while (std::getline(file, line)) {
            const size_t start = line.find_first_not_of(" \t");
            if (start == std::string::npos || line.compare(start, prefix.size(), prefix) != 0) continue;
            if (auto value = userDirValue(line.substr(start + prefix.size()), *home)) found = value;
        }
    }
    if (found) return found;
    return below(*home, fallback);
}

std::optional<std::string> placeOf(const FolderPlace& place) {
    switch (place.root) {
    case Root::UserDir:
        return userDirectory(place.where, place.fallback);
    case Root::DataHome:
    case Root::ConfigHome:
    case Root::CacheHome: {
        const auto root = place.root == Root::DataHome     ? xdgRoot("XDG_DATA_HOME", ".local/share")
                          : place.root == Root::ConfigHome ? xdgRoot("XDG_CONFIG_HOME", ".config")
                                                           : xdgRoot("XDG_CACHE_HOME", ".cache");
        if (!root) return std::nullopt;
        return below(*root, place.where);
    }
    case Root::Home:
        return homeDirectory();
    case Root::Fixed:
        return std::string(place.where);
    case Root::Windows:
        return nativePath(windowsDirectory());
    case Root::System:
        return nativePath(systemDirectory());
    }
    return std::nullopt;
}

}  // namespace

bool platformSpecialFolderPath(int folder, std::string& out) {
    if ((folder & ~(FolderNumberMask | FolderFlagMask)) != 0) return false;
    for (const FolderPlace& place : folderPlaces) {
        if (place.folder != (folder & FolderNumberMask)) continue;
        auto path = placeOf(place);
        if (!path) return false;
        // Paths from the environment may end in "/"; the shell reports none but the root's.
        while (path->size() > 1 && path->back() == '/') path->pop_back();
        out = scriptForm(*path);
        return true;
    }
    return false;
}

bool platformAppPathValue(const std::string&, const std::string&, std::string&) { return false; }

}  // namespace os::detail
