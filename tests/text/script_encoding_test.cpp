// How a script's bytes tell their encoding, and the UTF-8 each is decoded to.
#include "text/script_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

// A stand-in for the system's code page: marks each byte it converted.
std::string fromAnsi(std::string_view text) { return "<ansi:" + std::string(text) + ">"; }

TEST(ScriptEncoding, IsToldByItsMarkOrByValidUtf8) {
    struct Case {
        const char* what;
        std::string bytes;
        ScriptEncoding encoding;
        std::string text;
    };
    const Case cases[] = {
        {"ASCII stays with the code page", "[S]\nK=v\n", ScriptEncoding::Ansi, "<ansi:[S]\nK=v\n>"},
        {"UTF-8 without a mark", "K=caf\xC3\xA9", ScriptEncoding::Utf8, "K=caf\xC3\xA9"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFK=\xE8\xA1\xA8", ScriptEncoding::Utf8WithMark, "K=\xE8\xA1\xA8"},
        {"UTF-16LE with its mark", "\xFF\xFEK\0=\0\x68\x88"s, ScriptEncoding::Utf16LittleEndian, "K=\xE8\xA1\xA8"},
        {"UTF-16BE with its mark", "\xFE\xFF\0K\0=\x88\x68"s, ScriptEncoding::Utf16BigEndian, "K=\xE8\xA1\xA8"},
        {"an emoji as a surrogate pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, ScriptEncoding::Utf16LittleEndian,
         "\xF0\x9F\x98\x80"},
        {"a lone surrogate", "\xFF\xFE\x3D\xD8"s, ScriptEncoding::Utf16LittleEndian, "\xEF\xBF\xBD"},
        // Code page 932: 表 is 0x95 0x5C, whose second byte is a backslash; not UTF-8.
        {"Shift-JIS", "K=\x95\x5C\x8E\xA6", ScriptEncoding::Ansi, "<ansi:K=\x95\x5C\x8E\xA6>"},
        {"code page 1252", "K=caf\xE9", ScriptEncoding::Ansi, "<ansi:K=caf\xE9>"},
        {"an overlong form is no UTF-8", "K=\xC0\xAF", ScriptEncoding::Ansi, "<ansi:K=\xC0\xAF>"},
        {"an encoded surrogate is no UTF-8", "K=\xED\xA0\x80", ScriptEncoding::Ansi, "<ansi:K=\xED\xA0\x80>"},
        {"a cut character is no UTF-8", "K=\xE8\xA1", ScriptEncoding::Ansi, "<ansi:K=\xE8\xA1>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detectEncoding(c.bytes), c.encoding) << c.what;
        EXPECT_EQ(decodeScript(c.bytes, detectEncoding(c.bytes), fromAnsi), c.text) << c.what;
    }
}

}  // namespace
