// The portable half of the shell lookups: the test seam in front of the platform's answers.
#include "os/shell.h"

#include "os/shell_platform.h"

namespace os {

namespace {
ShellLookups& current() {
    static ShellLookups lookups;
    return lookups;
}
}  // namespace

void setShellLookups(ShellLookups lookups) { current() = std::move(lookups); }

bool specialFolderPath(int folder, std::string& out) {
    if (current().specialFolder) return current().specialFolder(folder, out);
    return detail::platformSpecialFolderPath(folder, out);
}

bool readAppPathValue(const std::string& program, const std::string& valueName, std::string& out) {
    if (current().appPathValue) return current().appPathValue(program, valueName, out);
    return detail::platformAppPathValue(program, valueName, out);
}

}  // namespace os
