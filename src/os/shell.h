// What the shell and the registry tell about places: special folders by their folder number
// and the App Paths registration of programs. Portable surface only; no platform type here.
#pragma once

#include <functional>
#include <string>

namespace os {

// Special-folder numbers the updater itself asks for (the rest arrive from scripts).
constexpr int FolderPrograms = 0x02;
constexpr int FolderDesktopDirectory = 0x10;
constexpr int FolderCommonPrograms = 0x17;
constexpr int FolderCommonDesktopDirectory = 0x19;

// The directory of special folder `folder`, in script form, as the shell reports it (which
// may end in a separator). False when the system knows no such folder:
// then `out` is untouched; false with an empty `out` when the folder exists but has no
// directory (a virtual folder).
bool specialFolderPath(int folder, std::string& out);

// Value `valueName` ("" for the default value) of the App Paths registration of `program`
// under HKEY_LOCAL_MACHINE. False when the key or the value is missing or empty, and always
// on systems without a registry.
bool readAppPathValue(const std::string& program, const std::string& valueName, std::string& out);

// The seam for tests: while a member is set, the matching lookup goes to it instead of the
// system. Empty members restore the system's own answers.
struct ShellLookups {
    std::function<bool(int folder, std::string& out)> specialFolder;
    std::function<bool(const std::string& program, const std::string& valueName, std::string& out)> appPathValue;
};
void setShellLookups(ShellLookups lookups);

}  // namespace os
