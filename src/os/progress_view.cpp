// The portable half of the progress view: a text cut to the columns of a terminal.
#include "os/progress_view.h"

#include <vector>

namespace os {

namespace {

struct Character {
    size_t start;  // its first byte
    size_t columns;
};

// East Asian wide and full-width characters take two columns of a terminal; the rest one.
size_t columnsOf(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

std::vector<Character> charactersOf(const std::string& text) {
    std::vector<Character> characters;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        characters.push_back({i, columnsOf(c)});
        i += length;
    }
    return characters;
}

}  // namespace

size_t columnsOf(const std::string& text) {
    size_t columns = 0;
    for (const Character& c : charactersOf(text)) columns += c.columns;
    return columns;
}

std::string shortenedInTheMiddle(const std::string& text, size_t width) {
    const std::vector<Character> characters = charactersOf(text);
    if (columnsOf(text) <= width) return text;
    if (width == 0) return {};
    const char* const ellipsis = "\xE2\x80\xA6";  // one column
    const size_t headColumns = (width - 1) / 2;
    size_t tailColumns = width - 1 - headColumns;
    size_t head = 0, used = 0;
    while (head < characters.size() && used + characters[head].columns <= headColumns)
        used += characters[head++].columns;
    tailColumns += headColumns - used;  // what a wide character left over at the cut
    size_t tail = characters.size();
    used = 0;
    while (tail > head && used + characters[tail - 1].columns <= tailColumns) used += characters[--tail].columns;
    std::string shortened = text.substr(0, head < characters.size() ? characters[head].start : text.size());
    shortened += ellipsis;
    if (tail < characters.size()) shortened += text.substr(characters[tail].start);
    return shortened;
}

}  // namespace os
