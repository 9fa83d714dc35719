// The platform's half of the shell lookups (os/shell.h), which win32/ and posix/ implement and
// the portable half puts the test seam in front of. Only the operating-system layer includes this.
#pragma once

#include <string>

namespace os::detail {

bool platformSpecialFolderPath(int folder, std::string& out);
bool platformAppPathValue(const std::string& program, const std::string& valueName, std::string& out);

}  // namespace os::detail
