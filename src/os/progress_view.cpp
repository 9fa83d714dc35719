// The portable half of the progress view: a text made fit for a terminal line.
#include "os/progress_view.h"

#include <vector>

#include "text/utf8.h"

namespace os {

namespace {

// One character as a terminal line draws it.
struct Character {
    std::string_view bytes;
    size_t columns;
};

// East Asian wide and full-width characters, and the emoji drawn as pictures, take two
// columns of a terminal; the rest one.
size_t columnsOf(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// A file name is any bytes the file system holds: what is not well-formed UTF-8, and every
// control character (which would move the cursor or start an escape sequence of the
// terminal's), is drawn as "?".
std::vector<Character> charactersOf(const std::string& text) {
    std::vector<Character> characters;
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const size_t length = utf8SequenceAt(text, i, &c);
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        if (length == 0 || control)
            characters.push_back({"?", 1});
        else
            characters.push_back({std::string_view(text).substr(i, length), columnsOf(c)});
        i += length == 0 ? 1 : length;
    }
    return characters;
}

size_t columnsOf(const std::vector<Character>& characters, size_t from, size_t to) {
    size_t columns = 0;
    for (size_t k = from; k < to; ++k) columns += characters[k].columns;
    return columns;
}

std::string joined(const std::vector<Character>& characters, size_t from, size_t to) {
    std::string text;
    for (size_t k = from; k < to; ++k) text += characters[k].bytes;
    return text;
}

}  // namespace

size_t columnsOf(const std::string& text) {
    const std::vector<Character> characters = charactersOf(text);
    return columnsOf(characters, 0, characters.size());
}

std::string shortenedInTheMiddle(const std::string& text, size_t width) {
    const std::vector<Character> characters = charactersOf(text);
    if (columnsOf(characters, 0, characters.size()) <= width) return joined(characters, 0, characters.size());
    if (width == 0) return {};
    const size_t headColumns = (width - 1) / 2;
    size_t head = 0, used = 0;
    while (used + characters[head].columns <= headColumns) used += characters[head++].columns;
    // What a wide character left over at the cut goes to the tail.
    const size_t tailColumns = width - 1 - used;
    size_t tail = characters.size();
    used = 0;
    while (tail > head && used + characters[tail - 1].columns <= tailColumns) used += characters[--tail].columns;
    return joined(characters, 0, head) + "\xE2\x80\xA6" + joined(characters, tail, characters.size());
}

}  // namespace os
