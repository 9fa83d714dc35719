// Fuzz target for the script reader: any bytes are decoded by the encoding they show and
// parsed, and every section and entry found is read back through the profile calls, with the
// limits those calls promise checked on the way.
// sources: src/text/ini_file.cpp src/text/script_encoding.cpp
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/ini_file.h"
#include "text/script_encoding.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool isTrimmed(const std::string& name) {
    const std::string_view blanks(" \t\n\v\f\r\x1A", 7);
    return name.empty() || (blanks.find(name.front()) == std::string_view::npos &&
                            blanks.find(name.back()) == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ScriptEncoding encoding = detectEncoding(bytes);
    const std::string text = decodeScript(bytes, encoding, [](std::string_view ansi) { return std::string(ansi); });
    // Whatever is decoded from a mark of its encoding is well-formed UTF-8.
    if (encoding != ScriptEncoding::Ansi && encoding != ScriptEncoding::Utf8WithMark) require(isValidUtf8(text));
    const IniFile ini(text);
    // The buffer size comes from the input too, so that cuts land everywhere, also inside
    // quotes and on entry boundaries.
    const unsigned cut = size >= 2 ? (data[0] | data[1] << 8) % 400 : 259;
    const unsigned sizes[] = {0, 1, 2, 3, cut, 259, 32767};

    require(!ini.sections().empty() && ini.sections().front().name.empty());
    int lastLine = 0;
    int sectionsSeen = 0;
    for (const IniSection& section : ini.sections()) {
        require(section.line == 0 || section.line > lastLine);
        lastLine = section.line;
        const bool tooMany = ++sectionsSeen > 64;
        for (unsigned n : sizes) {
            size_t listed = 0;
            for (const std::string& entry : ini.profileSection(section.name, n)) listed += entry.size() + 1;
            require(n < 2 ? listed == 0 : listed + 1 <= n);
        }
        int entriesSeen = 0;
        for (const IniEntry& entry : section.entries) {
            require(entry.line > lastLine);
            lastLine = entry.line;
            require(entry.name.find('\0') == std::string::npos);
            if (tooMany || ++entriesSeen > 64) continue;
            if (ini.findSection(section.name) == &section && isTrimmed(section.name) && isTrimmed(entry.name))
                require(ini.findEntry(section.name, entry.name) != nullptr);
            for (unsigned n : sizes) {
                const std::string value = ini.profileString(section.name, entry.name, "\"NO_DATA\" ", n);
                require(value.size() + 1 <= (n == 0 ? 1 : n));
            }
        }
    }
    // Names that the file does not hold, among them the empty one and blanks only.
    for (const char* name : {"", " ", "\t", "NO_SUCH", "[", "]", "="}) {
        require(ini.profileString(name, name, "d", 259).size() <= 258);
        ini.profileSection(name, 32767);
    }
    return 0;
}
