// A reader of shortcut files for the tests, written from the published shell link format:
// it reads back what either build's writer saved (the system's shell-link object on
// Windows, our encoder on POSIX), without sharing any code with our encoder.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

struct ShortcutFile {
    bool valid = false;
    uint32_t flags = 0;
    uint32_t showCommand = 0;
    std::string localPath;  // from the link info, in the writer's code page
    std::string workingDirectory;
    std::string arguments;
};

namespace shortcut_reading {

inline uint32_t at(const std::string& b, size_t p, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b.at(p + i));
    return v;
}

// A counted string of the string data; UTF-16 narrowed to UTF-8.
inline std::string countedString(const std::string& b, size_t& p, bool unicode) {
    const uint32_t count = at(b, p, 2);
    p += 2;
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t c = unicode ? at(b, p + 2 * i, 2) : static_cast<unsigned char>(b.at(p + i));
        if (c >= 0xD800 && c < 0xDC00 && unicode && i + 1 < count) {
            c = 0x10000 + ((c - 0xD800) << 10) + (at(b, p + 2 * (i + 1), 2) - 0xDC00);
            ++i;
        }
        if (!unicode || c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    p += unicode ? 2 * count : count;
#ifdef _WIN32
    // Wine's shell-link object counts each string's terminating NUL into its length, which
    // Windows does not; under Wine the text ends there.
    if (!out.empty() && out.back() == '\0') out.pop_back();
#endif
    return out;
}

inline std::string zeroTerminated(const std::string& b, size_t p) {
    const size_t end = b.find('\0', p);
    if (p >= b.size() || end == std::string::npos) throw std::out_of_range("unterminated string");
    return b.substr(p, end - p);
}

}  // namespace shortcut_reading

// Reads the file at the native path `path`; `valid` is false when it is no shell link.
inline ShortcutFile readShortcutFile(const std::string& path) {
    using namespace shortcut_reading;
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ShortcutFile link;
    static const char linkClass[] = "\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46";
    if (b.size() < 0x4C || at(b, 0, 4) != 0x4C || b.compare(4, 16, linkClass, 16) != 0) return link;
    try {
        link.flags = at(b, 0x14, 4);
        link.showCommand = at(b, 0x3C, 4);
        size_t p = 0x4C;
        if (link.flags & 0x01) p += 2 + at(b, p, 2);
        if (link.flags & 0x02) {
            const size_t info = p;
            if (at(b, info + 8, 4) & 0x01) {
                link.localPath = zeroTerminated(b, info + at(b, info + 16, 4)) +
                                 zeroTerminated(b, info + at(b, info + 24, 4));
            }
            p += at(b, info, 4);
        }
        const bool unicode = (link.flags & 0x80) != 0;
        if (link.flags & 0x04) countedString(b, p, unicode);
        if (link.flags & 0x08) countedString(b, p, unicode);
        if (link.flags & 0x10) link.workingDirectory = countedString(b, p, unicode);
        if (link.flags & 0x20) link.arguments = countedString(b, p, unicode);
        link.valid = true;
    } catch (const std::out_of_range&) {
    }
    return link;
}
