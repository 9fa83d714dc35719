// Telling a script's encoding by its bytes, and decoding it to UTF-8.
#include "text/script_encoding.h"

#include <cstdint>
#include <vector>

#include "text/utf8.h"

namespace {

bool startsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

// A lone last byte counts as a unit whose other byte is zero, as the Windows reader takes it;
// a lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::vector<uint16_t> units;
    units.reserve(bytes.size() / 2 + 1);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const auto first = static_cast<uint8_t>(bytes[i]);
        const auto second = i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) : uint8_t{0};
        units.push_back(bigEndian ? uint16_t(first << 8 | second) : uint16_t(second << 8 | first));
    }
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

}  // namespace

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = utf8SequenceAt(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

const char* encodingName(ScriptEncoding encoding) {
    switch (encoding) {
        case ScriptEncoding::Utf16LittleEndian: return "UTF-16LE";
        case ScriptEncoding::Utf16BigEndian: return "UTF-16BE";
        case ScriptEncoding::Utf8WithMark: return "UTF-8 with BOM";
        case ScriptEncoding::Utf8: return "UTF-8";
        case ScriptEncoding::Ansi: return "ANSI";
    }
    return "ANSI";
}

ScriptEncoding detectEncoding(std::string_view bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) return ScriptEncoding::Utf8WithMark;
    if (startsWith(bytes, "\xFF\xFE")) return ScriptEncoding::Utf16LittleEndian;
    if (startsWith(bytes, "\xFE\xFF")) return ScriptEncoding::Utf16BigEndian;
    // Pure ASCII reads the same in every encoding and stays with the code page, as every
    // script saved before reads exactly as it did.
    bool wide = false;
    for (const char c : bytes)
        if (static_cast<uint8_t>(c) >= 0x80) {
            wide = true;
            break;
        }
    return wide && isValidUtf8(bytes) ? ScriptEncoding::Utf8 : ScriptEncoding::Ansi;
}

std::string decodeScript(std::string_view bytes, ScriptEncoding encoding,
                         const std::function<std::string(std::string_view)>& fromAnsi) {
    switch (encoding) {
        case ScriptEncoding::Utf16LittleEndian: return utf16ToUtf8(bytes.substr(2), false);
        case ScriptEncoding::Utf16BigEndian: return utf16ToUtf8(bytes.substr(2), true);
        case ScriptEncoding::Utf8WithMark: return std::string(bytes.substr(3));
        case ScriptEncoding::Utf8: return std::string(bytes);
        case ScriptEncoding::Ansi: return fromAnsi(bytes);
    }
    return std::string(bytes);
}
