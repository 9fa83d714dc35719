// The raw script readers over the OS profile layer: the missing-key sentinel, the buffer
// sizes the script has always been read with, and the joining of section entries.
#include "run/script_file.h"

#include <cstdio>
#include <string>
#include <vector>

#include "os/profile.h"

namespace {

// The profile functions cannot tell a missing key from a default, so the default is a value
// no script is expected to hold; a script that does hold it has its key treated as missing.
constexpr const char* missingKeyMarker = "NO_DATA";
// A 260-byte buffer announced as 259: a value keeps at most 258 bytes.
constexpr unsigned valueSize = 259;
constexpr unsigned sectionSize = 0x7FFF;

bool readRaw(const char* file, const char* section, const char* key, std::string& value) {
    value = os::profileString(file, section, key, missingKeyMarker, valueSize);
    return !Text(value.c_str()).equalsNoCase(missingKeyMarker);
}

}  // namespace

bool readProfileString(const char* file, const char* section, const char* key, Text& out) {
    std::string value;
    if (!readRaw(file, section, key, value)) return false;
    out.assign(value.c_str());
    return true;
}

bool readProfileInt(const char* file, const char* section, const char* key, int& out) {
    std::string value;
    if (!readRaw(file, section, key, value)) return false;
    // Whether "%d" matched is deliberately not asked: the old value then stands.
    (void)std::sscanf(value.c_str(), "%d", &out);
    return true;
}

int readSection(const char* file, const char* section, Text& out) {
    const std::vector<std::string> entries = os::profileSection(file, section, sectionSize);
    int count = 0;
    for (const std::string& entry : entries) {
        // Wine's reader drops these already; the script must not depend on which reader it meets.
        if (entry[0] == ';') continue;
        if (!out.empty()) out.append("\n");
        out.append(entry.c_str());
        ++count;
    }
    return count;
}
