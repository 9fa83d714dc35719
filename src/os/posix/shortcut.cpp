// Shortcut files on POSIX: our encoder's bytes in a new file. Only POSIX code here.
#include "os/shortcut.h"

#include <cerrno>

#include "os/files.h"
#include "os/shell_link_format.h"

namespace os {

Result writeShortcut(const ShortcutFields& fields, const Directory& directory, const std::string& name) {
    std::string bytes;
    if (!encodeShellLink(fields, bytes)) return Result::fail(Operation::SaveShortcut, directory.pathOf(name), ENAMETOOLONG);
    return directory.writeNewFile(name, bytes);
}

}  // namespace os
