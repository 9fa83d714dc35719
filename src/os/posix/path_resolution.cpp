// Resolution of "." and ".." in script paths by their text, for every file the POSIX layer
// opens on a script's behalf. Only POSIX code belongs here.
#include "os/posix/path_resolution.h"

#include <vector>

#include "os/posix/path_form.h"

namespace os::detail {

std::string resolvedNativePath(const std::string& scriptPath) {
    const std::string slashed = toNativeForm(scriptPath);
    if (slashed.empty()) return slashed;

    const bool absolute = slashed.front() == '/';
    const bool trailing = slashed.back() == '/';
    std::vector<std::string> kept;
    size_t start = 0;
    while (start <= slashed.size()) {
        size_t end = slashed.find('/', start);
        if (end == std::string::npos) end = slashed.size();
        std::string element = slashed.substr(start, end - start);
        start = end + 1;
        if (element.empty() || element == ".") continue;
        if (element == "..") {
            if (!kept.empty() && kept.back() != "..")
                kept.pop_back();
            else if (!absolute)
                kept.push_back(element);  // above a relative start only the system knows where
            continue;                     // above the root is the root
        }
        kept.push_back(std::move(element));
    }

    std::string native = absolute ? "/" : "";
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) native += '/';
        native += kept[i];
    }
    if (native.empty()) return trailing ? "./" : ".";
    if (trailing && native != "/") native += '/';
    return native;
}

}  // namespace os::detail
