// Script paths turned into the file system's, resolved the way the Windows path functions
// resolve them before they open anything. Only POSIX code belongs here.
#include "os/posix/native_path.h"

#include <vector>

#include "text/script_path.h"

namespace os::detail {
namespace {

std::string resolved(const std::string& slashed) {
    const bool absolute = slashed.front() == '/';
    const bool trailing = slashed.back() == '/';
    const std::vector<std::string> kept = paths::resolvedElements(slashed, !absolute);
    std::string native = absolute ? "/" : "";
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) native += '/';
        native += kept[i];
    }
    if (native.empty()) return trailing ? "./" : ".";
    if (trailing && native != "/") native += '/';
    return native;
}

}  // namespace

std::string nativePath(const std::string& scriptPath) {
    std::string slashed = scriptPath;
    bool plain = !slashed.empty() && slashed[0] != '.';
    for (size_t i = 0; i < slashed.size(); ++i) {
        char& c = slashed[i];
        if (c == '/') plain = false;
        if (c != '\\') continue;
        c = '/';
        // Most paths the commands pass hold no "." element and no doubled separator and need
        // only their separators turned, which matters when every file of a tree is touched.
        if (i + 1 < slashed.size() && (slashed[i + 1] == '.' || slashed[i + 1] == '\\')) plain = false;
    }
    if (plain || slashed.empty()) return slashed;
    return resolved(slashed);
}

std::string scriptForm(std::string nativePath) {
    for (char& c : nativePath)
        if (c == '/') c = '\\';
    return nativePath;
}

}  // namespace os::detail
