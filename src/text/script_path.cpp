// Script paths by their text. Pure C++: no system call.
#include "text/script_path.h"

namespace paths {
namespace {

constexpr char separator = '\\';

size_t lastSeparator(std::string_view path) { return path.rfind(separator); }

}  // namespace

std::string parentOf(std::string_view path) {
    const size_t last = lastSeparator(path);
    return std::string(last == std::string_view::npos ? path : path.substr(0, last));
}

std::string lastElement(std::string_view path) {
    const size_t last = lastSeparator(path);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string directoryOf(std::string_view path) {
    const size_t last = lastSeparator(path);
    return last == std::string_view::npos ? std::string(".") : std::string(path.substr(0, last));
}

std::string join(std::string_view directory, std::string_view name) {
    std::string joined(directory);
    joined += separator;
    joined += name;
    return joined;
}

std::string withoutTrailingSeparators(std::string_view path) {
    while (!path.empty() && path.back() == separator) path.remove_suffix(1);
    return std::string(path);
}

std::string withoutExtension(std::string_view path) {
    const size_t last = lastSeparator(path);
    const size_t nameStart = last == std::string_view::npos ? 0 : last + 1;
    const size_t dot = path.rfind('.');
    return std::string(dot == std::string_view::npos || dot < nameStart ? path : path.substr(0, dot));
}

bool isWithin(std::string_view inner, std::string_view tree) {
    const std::string outer = withoutTrailingSeparators(tree);
    if (inner.size() < outer.size() || inner.compare(0, outer.size(), outer) != 0) return false;
    return inner.size() == outer.size() || inner[outer.size()] == separator;
}

std::vector<std::string> resolvedElements(std::string_view path, bool keepLeadingParents) {
    std::vector<std::string> kept;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view element = path.substr(start, end - start);
        start = end + 1;
        if (element.empty() || element == ".") continue;
        if (element == "..") {
            if (!kept.empty() && kept.back() != "..")
                kept.pop_back();
            else if (keepLeadingParents)
                kept.emplace_back(element);
            continue;
        }
        kept.emplace_back(element);
    }
    return kept;
}

}  // namespace paths
