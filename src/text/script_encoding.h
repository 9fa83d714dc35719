// The encodings a script may be saved in, told apart by its bytes, and its text turned into
// the UTF-8 the updater holds. Pure C++; the ANSI code page is the caller's to convert.
#pragma once

#include <functional>
#include <string>
#include <string_view>

enum class ScriptEncoding {
    Utf16LittleEndian,  // with its byte-order mark
    Utf16BigEndian,     // with its byte-order mark
    Utf8WithMark,
    Utf8,  // no mark, valid UTF-8 with at least one byte above ASCII
    Ansi,  // anything else: the system's 8-bit code page (Windows), the bytes as they are (POSIX)
};

// The name updater-check and the log show: "UTF-16LE", "UTF-8 with BOM", "ANSI" and so on.
const char* encodingName(ScriptEncoding encoding);

ScriptEncoding detectEncoding(std::string_view bytes);

// The script's text in UTF-8, its byte-order mark dropped. `fromAnsi` converts text in the
// system's code page.
std::string decodeScript(std::string_view bytes, ScriptEncoding encoding,
                         const std::function<std::string(std::string_view)>& fromAnsi);

// True when `bytes` are well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Appends code point `c` to `out` in UTF-8.
void appendUtf8(std::string& out, uint32_t c);
