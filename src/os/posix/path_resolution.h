// Script paths resolved the way the Windows path functions resolve them before they open
// anything. Only the POSIX layer includes this.
#pragma once

#include <string>

namespace os::detail {

// The native form of a script path (path_form.h) with its "." and ".." elements resolved by
// the text alone: "a\missing\..\b" names "a/b" even when "missing" does not exist or is a
// link elsewhere, as on Windows. Empty elements collapse. A trailing separator is kept,
// because it changes what the path may name (only a directory).
std::string resolvedNativePath(const std::string& scriptPath);

}  // namespace os::detail
