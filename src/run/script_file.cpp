// The script read once, and its raw readers: the missing-key sentinel, the size a value is
// read with, and the joining of section entries.
#include "run/script_file.h"

#include <cstdio>
#include <vector>

#include "os/files.h"
#include "os/script_source.h"
#include "text/script_path.h"

namespace {

// The profile functions cannot tell a missing key from a default, so the default is a value
// no script is expected to hold; a script that does hold it has its key treated as missing.
constexpr const char* missingKeyMarker = "NO_DATA";
constexpr unsigned sectionSize = 0x7FFF;

}  // namespace

os::Result Script::load(const std::string& path) {
    std::string bytes;
    os::Result read = os::readWholeFile(path, bytes);
    if (!read) {
        bytes.clear();
        const uint32_t parent = os::attributesOf(paths::directoryOf(path));
        const bool inDirectory = parent != os::InvalidAttributes && (parent & os::AttributeDirectory);
        if (os::isNotFound(read.error()) && inDirectory) read = {};
    }
    parse(bytes);
    return read;
}

void Script::parse(std::string_view bytes) {
    encoding_ = detectEncoding(bytes);
    nonAscii_ = false;
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            nonAscii_ = true;
            break;
        }
    ini_ = IniFile(decodeScript(bytes, encoding_, [](std::string_view text) { return os::ansiToUtf8(text); }));
}

bool Script::readString(const char* section, const char* key, Text& out) const {
    const std::string value = ini_.profileString(section, key, missingKeyMarker, MaxValueBytes + 1);
    if (Text(value.c_str()).equalsNoCase(missingKeyMarker)) return false;
    out.assign(value.c_str());
    return true;
}

bool Script::readInt(const char* section, const char* key, int& out) const {
    Text value;
    if (!readString(section, key, value)) return false;
    (void)std::sscanf(value.c_str(), "%d", &out);  // no number: the old value stands, as the profile reads it
    return true;
}

int Script::readSection(const char* section, Text& out) const {
    const std::vector<std::string> entries = ini_.profileSection(section, sectionSize);
    int count = 0;
    for (const std::string& entry : entries) {
        // The Windows reader drops these already; the script must not depend on which reader it meets.
        if (entry[0] == ';') continue;
        if (!out.empty()) out.append("\n");
        out.append(entry.c_str());
        ++count;
    }
    return count;
}
