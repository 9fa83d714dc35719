// The one crossing between the script's path form ("\" separators) and the file system's
// ("/"), for paths the POSIX layer hands back to scripts or receives from them.
#pragma once

#include <string>

namespace os::detail {

inline std::string toScriptForm(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::string toNativeForm(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace os::detail
