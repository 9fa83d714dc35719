// The one crossing between the script's path form ("\" separators, "." and ".." resolved by
// the text as Windows resolves them) and the file system's ("/"). Only POSIX code includes this.
#pragma once

#include <string>

namespace os::detail {

// The native form of a script path: "\" turned into "/", and its "." and ".." elements
// resolved by the text alone: "a\missing\..\b" names "a/b" even when "missing" does not
// exist or is a link elsewhere, as on Windows. Empty elements collapse. A trailing
// separator is kept, because it changes what the path may name (only a directory).
std::string nativePath(const std::string& scriptPath);

// A path the system reports, in script form.
std::string scriptForm(std::string nativePath);

}  // namespace os::detail
