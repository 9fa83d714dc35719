// Special folders and application paths over the shell facility of the OS layer; nothing
// platform-specific belongs here.
#include "run/app_paths.h"

#include <string>

#include "os/shell.h"

bool specialFolderPath(Text& out, int folder) {
    // Starts from the current content so that a folder the system does not know leaves it.
    std::string path = out.c_str();
    const bool ok = os::specialFolderPath(folder, path);
    out = Text(path);
    return ok;
}

bool appPathLookup(const char* program, Text& out, bool fullPath) {
    std::string value;
    // The default value holds the full path; "PATH" the directories added to the search path.
    if (!os::readAppPathValue(program ? program : "", fullPath ? "" : "PATH", value)) return false;
    out = Text(value);
    return true;
}
