// Fuzz target for the walker's handling of names: the input is a list of names (separated by
// zero bytes; a first byte below 0x20 makes the entry a directory) made in a fresh directory
// on the real file system, which is then walked. Whatever the names hold, every visit stays
// inside the tree, every entry is visited once under its own name, and a name with "\" in it
// (which no Windows name holds) stops the walk with its own refusal.
// sources: src/commands/file/walker.cpp src/run/path_tests.cpp src/text/text.cpp src/text/script_path.cpp src/os/result.cpp src/os/fault_injection.cpp src/os/posix/system_calls.cpp src/os/posix/attribute_words.cpp src/os/posix/directory.cpp src/os/posix/files.cpp src/os/posix/listing.cpp src/os/posix/native_path.cpp src/os/posix/trusted_path.cpp src/os/posix/wildcard.cpp
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "commands/file/walker.h"
#include "os/posix/native_path.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

std::string scriptForm(const std::string& native) { return os::detail::scriptForm(native); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::set<std::string> made;
    bool separator = false;
    char pattern[] = "/tmp/walker-fuzz-XXXXXX";
    const char* root = ::mkdtemp(pattern);
    if (!root) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start < input.size() && made.size() < 12) {
        size_t end = input.find('\0', start);
        if (end == std::string_view::npos) end = input.size();
        std::string name(input.substr(start, end - start));
        start = end + 1;
        const bool directory = !name.empty() && static_cast<unsigned char>(name[0]) < 0x20;
        if (directory) name.erase(0, 1);
        for (char& c : name)
            if (c == '/') c = '_';
        if (name.empty() || name == "." || name == ".." || name.size() > 200 || made.count(name)) continue;
        const std::string path = std::string(root) + "/" + name;
        const bool created = directory ? ::mkdir(path.c_str(), 0755) == 0
                                       : ::close(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644)) == 0;
        if (!created) continue;
        made.insert(name);
        separator = separator || name.find('\\') != std::string::npos;
    }

    const std::string top = scriptForm(root);
    std::set<std::string> visited;
    const os::Result walked = walkFiles(
        Text(top.c_str()),
        [&](const Visit& visit) -> os::Result {
            const std::string path = visit.path();
            require(path.compare(0, top.size() + 1, top + "\\") == 0);
            require(visit.name().find('\\') == std::string::npos);
            if (visit.kind != VisitKind::LeaveDirectory) require(visited.insert(visit.name()).second);
            return {};
        },
        true);
    if (separator) {
        require(!walked.ok() && walked.error() == os::NameHoldsSeparator);
    } else {
        require(walked.ok());
        require(visited == made);
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
