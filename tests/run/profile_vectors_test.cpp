// The shared profile vectors: script text, one call, the result. Both builds read scripts with
// our own reader, which must pass them all; under Wine the real GetPrivateProfileStringA and
// GetPrivateProfileSectionA must pass them too, which holds our reader to theirs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "run/script_file.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace std::string_literals;

enum class FileState { Written, Missing, InMissingDirectory };

struct ProfileVector {
    std::string what;
    std::string script;  // file bytes
    bool sectionRead;    // GetPrivateProfileSectionA instead of GetPrivateProfileStringA
    std::string section;
    std::string key;
    std::string fallback;
    unsigned size;
    std::string expected;  // a section read's entries joined by "\n"
    FileState file = FileState::Written;
};

ProfileVector str(std::string what, std::string script, std::string section, std::string key, unsigned size,
                  std::string expected, std::string fallback = "NO_DATA") {
    return {std::move(what), std::move(script), false, std::move(section), std::move(key),
            std::move(fallback), size, std::move(expected)};
}

ProfileVector sec(std::string what, std::string script, std::string section, unsigned size, std::string expected) {
    return {std::move(what), std::move(script), true, std::move(section), "", "", size, std::move(expected)};
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) out += bigEndian ? "\0"s + c : c + "\0"s;
    return out;
}

// Entries of 20 bytes ("k0000=" and 14 value bytes), so that where a 32767-byte buffer cuts
// the list can be counted by hand: 1560 whole entries of 21 bytes with their NULs, then 5
// bytes of the next one before the two closing NULs.
std::string bigSection(int entries) {
    std::string text = "[BIG]\r\n";
    for (int i = 0; i < entries; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "k%04d=abcdefghijklmn\r\n", i);
        text += line;
    }
    return text;
}

std::string bigSectionCut() {
    std::string joined;
    for (int i = 0; i < 1560; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "k%04d=abcdefghijklmn\n", i);
        joined += line;
    }
    return joined + "k1560";
}

std::vector<ProfileVector> vectors() {
    const std::string quotes =
        "[S]\nq1=\"v\"\nq2=\" v \"\nq3=\"v\nq4=v\"\nq5=\"\"\nq6=\"\nq7='v'\nq8=\"v'\nq9=\"a\"b\"\nq10= \"v\" \n"
        "q11=\"\"\"\nq12='\"\n";
    const std::string duplicates = "[S]\na=1\n[T]\nx=0\n[s]\nb=2\na=3\n";
    const std::string comments = "[S]\n;c=1\nk=v ; note\n#h=1\n  ;x=2\n";
    const std::string nameless = "[S]\n=a\n=b\nk=v\n=c\n\n=d\n";
    const std::string cutting = "[S]\nk=abcdef\nq=\"abcdef\"\n";
    const std::string threeEntries = "[S]\naa=1\nbb=2\ncc=3\n";
    const std::string longValue = "[S]\nk=" + std::string(300, 'x') + "\n";
    std::vector<ProfileVector> v = {
        // Line breaks and encodings.
        str("CRLF lines", "[S]\r\nk=v\r\n", "S", "k", 259, "v"),
        str("LF lines", "[S]\nk=v\n", "S", "k", 259, "v"),
        sec("CR-only lines", "[S]\rk=v\rj=w\r", "S", 32767, "k=v\nj=w"),
        str("a lone CR ends a line in an LF file", "[S]\nk=a\rb=2\n", "S", "k", 259, "a"),
        sec("the text after a lone CR is a line of its own", "[S]\nk=a\rb=2\n", "S", 32767, "k=a\nb=2"),
        str("no line break at the end", "[S]\nk=v", "S", "k", 259, "v"),
        str("UTF-8 byte-order mark is skipped", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", 259, "v"),
        str("byte-order mark before a key outside any section", "\xEF\xBB\xBFk=v\n", "", "k", 259, "v"),
        str("half a byte-order mark spoils the header", "\xEF\xBB[S]\nk=v\n", "S", "k", 259, "NO_DATA"),
        str("UTF-16 little-endian", utf16("[S]\r\nk=v\r\n", false), "S", "k", 259, "v"),
        str("UTF-16 big-endian", utf16("[S]\nk=v\n", true), "S", "k", 259, "v"),
        str("UTF-16 with an odd last byte", utf16("[S]\nk=v", false) + "w", "S", "k", 259, "vw"),
        str("empty file", "", "S", "k", 259, "NO_DATA"),

        // Blanks.
        str("blanks around name and value", "[S]\n  k  =  v  \n", "S", "k", 259, "v"),
        str("tabs around name and value", "[S]\n\tk\t=\tv\t\n", "S", "k", 259, "v"),
        str("VT, FF and 0x1A are blanks", "[S]\n\x1Ak\f=\vv\x1A\n", "S", "k", 259, "v"),
        str("0x1C is not a blank", "[S]\n\x1Ck=v\n", "S", "k", 259, "NO_DATA"),
        str("the caller's names are trimmed", "[S]\nk=v\n", " S\t", "\tk ", 259, "v"),
        str("blanks inside the brackets", "[ S ]\nk=v\n", "S", "k", 259, "v"),
        sec("a section read does not trim the caller's name", "[S]\nk=v\n", " S", 32767, ""),
        str("blanks inside a name stay", "[S]\na\tb = 1\n", "S", "a b", 259, "NO_DATA"),
        sec("blank lines are not entries", "\n   \n[S]\n\n \t \nk=v\n\n", "S", 32767, "k=v"),

        // Letter case.
        str("names match regardless of case", "[s]\nK=v\n", "S", "k", 259, "v"),
        str("only letters fold", "[X^]\nk=v\n", "x~", "k", 259, "NO_DATA"),
        sec("a section read matches regardless of case", "[s]\nk=v\n", "S", 32767, "k=v"),

        // Structure.
        str("a line without = has no value", "[S]\nk\nj=1\n", "S", "k", 259, "NO_DATA"),
        sec("a section read lists a line without =", "[S]\nk\nj=1\n", "S", 32767, "k\nj=1"),
        str("keys before any header belong to the unnamed section", "k=v\n[S]\nj=w\n", "", "k", 259, "v"),
        str("a key before any header is not in the next section", "k=v\n[S]\nj=w\n", "S", "k", 259, "NO_DATA"),
        sec("section read of the unnamed section", "k=v\n[S]\nj=w\n", "", 32767, "k=v"),
        str("[] comes after the unnamed section and is never found", "k=v\n[]\nj=w\n", "", "j", 259, "NO_DATA"),
        str("duplicate sections: the first holds the key", duplicates, "S", "a", 259, "1"),
        str("duplicate sections: the second is never read", duplicates, "S", "b", 259, "NO_DATA"),
        sec("duplicate sections: a section read lists the first", duplicates, "S", 32767, "a=1"),
        str("duplicate keys: the first counts", "[S]\na=1\na=2\n", "S", "a", 259, "1"),
        sec("duplicate keys: both are listed", "[S]\na=1\na=2\n", "S", 32767, "a=1\na=2"),
        str("text after ] is ignored", "[S] junk\nk=v\n", "S", "k", 259, "v"),
        str("the last ] ends the name", "[S]junk]\nk=v\n", "S]junk", "k", 259, "v"),
        str("a header without ] is a key line", "[S\nk=v\n", "S", "k", 259, "NO_DATA"),
        str("...and what follows it is in the unnamed section", "[S\nk=v\n", "", "k", 259, "v"),
        str("an indented header", "  [U]\nu=1\n", "U", "u", 259, "1"),
        str("brackets inside the name", "[[T]]\nj=w\n", "[T]", "j", 259, "w"),
        str("brackets in a value", "[S]\nk=[v]\n", "S", "k", 259, "[v]"),
        str("empty key name", "[S]\n=v\n", "S", "", 259, "v"),
        sec("nameless lines after the first of a run are dropped", nameless, "S", 32767, "=a\nk=v\n=c"),
        str("the first nameless line answers the empty key", nameless, "S", "", 259, "a"),
        str("empty value is present", "[S]\nk=\n", "S", "k", 259, ""),
        str("blanks-only value is present and empty", "[S]\nk =  \n", "S", "k", 259, ""),
        str("value holding =", "[S]\nk=a=b\n", "S", "k", 259, "a=b"),

        // Comments.
        str("a comment line is an ordinary key to a string read", comments, "S", ";c", 259, "1"),
        str("; inside a value is part of it", comments, "S", "k", 259, "v ; note"),
        sec("a section read drops ; lines, also indented ones, but not #", comments, "S", 32767, "k=v ; note\n#h=1"),
        sec("a section of comments only is empty", "[S]\n;only\n", "S", 32767, ""),
        sec("a section read shows names and values trimmed, quotes kept", "[S]\nk = \"a\" \n", "S", 32767, "k=\"a\""),

        // Quotes.
        str("double quotes removed", quotes, "S", "q1", 259, "v"),
        str("blanks inside quotes kept", quotes, "S", "q2", 259, " v "),
        str("opening quote alone kept", quotes, "S", "q3", 259, "\"v"),
        str("closing quote alone kept", quotes, "S", "q4", 259, "v\""),
        str("empty quotes", quotes, "S", "q5", 259, ""),
        str("a single quote character", quotes, "S", "q6", 259, "\""),
        str("single quotes removed too", quotes, "S", "q7", 259, "v"),
        str("mismatched quotes kept", quotes, "S", "q8", 259, "\"v'"),
        str("only the outer pair goes", quotes, "S", "q9", 259, "a\"b"),
        str("quotes after the blanks are trimmed", quotes, "S", "q10", 259, "v"),
        str("three double quotes", quotes, "S", "q11", 259, "\""),
        str("single then double quote", quotes, "S", "q12", 259, "'\""),
        str("quotes of the default removed", "[S]\n", "S", "k", 259, "d", "'d'"),
        str("trailing spaces of the default removed", "[S]\n", "S", "k", 259, "  d", "  d  "),
        str("a default of spaces keeps one", "[S]\n", "S", "k", 259, " ", "   "),

        // Sizes.
        str("a long value is cut to size - 1", longValue, "S", "k", 259, std::string(258, 'x')),
        str("size 1 gives nothing", cutting, "S", "k", 1, ""),
        str("size 4 gives three bytes", cutting, "S", "k", 4, "abc"),
        str("a cut quoted value keeps its last byte", cutting, "S", "q", 6, "abcde"),
        str("quoted value one byte short loses one more", cutting, "S", "q", 7, "abcde"),
        str("quoted value that just fits", cutting, "S", "q", 8, "abcdef"),
        str("the default is cut too", cutting, "S", "none", 4, "NO_"),
        sec("a cut section ends with the cut entry", threeEntries, "S", 8, "aa=1\nb"),
        sec("a cut at an entry's end", threeEntries, "S", 7, "aa=1"),
        sec("a cut inside the first entry", threeEntries, "S", 5, "aa="),
        sec("size 2 holds no entry", threeEntries, "S", 2, ""),
        sec("a section that just fits", threeEntries, "S", 16, "aa=1\nbb=2\ncc=3"),
        sec("a section one byte too long", threeEntries, "S", 15, "aa=1\nbb=2\ncc="),
        sec("a section longer than 32767 bytes", bigSection(2000), "BIG", 32767, bigSectionCut()),

        // NUL bytes: names and values end at the first one.
        str("NUL ends a value", "[S]\nk=a\0b\n"s, "S", "k", 259, "a"),
        str("blanks before a NUL stay", "[S]\nk=a \0x\n"s, "S", "k", 259, "a "),
        str("NUL ends a key name", "[S]\nj\0x=1\n"s, "S", "j", 259, "1"),
        str("NUL ends a section name, after trimming", "[S \0x]\nk=v\n"s, "S", "k", 259, "NO_DATA"),
        sec("NUL in a header: the name keeps its blank", "[S \0x]\nk \0x=v\n"s, "S ", 32767, "k =v"),
        sec("a NUL line is not listed", "[S]\n\0zz\nq=1\n"s, "S", 32767, "q=1"),
    };
    // A missing file reads as an empty one; a file that cannot even be looked for makes the
    // reader hand back the default untouched.
    ProfileVector missing = str("no file: read as empty", "", "S", "k", 259, "d", "\"d\"  ");
    missing.file = FileState::Missing;
    v.push_back(missing);
    ProfileVector noDirectory = str("no directory: the default with its quotes", "", "S", "k", 259, "\"d\"", "\"d\"  ");
    noDirectory.file = FileState::InMissingDirectory;
    v.push_back(noDirectory);
    ProfileVector noDirectorySection = sec("no directory: no entries", "", "S", 32767, "");
    noDirectorySection.file = FileState::InMissingDirectory;
    v.push_back(noDirectorySection);
    return v;
}

std::string joined(const std::vector<std::string>& entries) {
    std::string out;
    for (const std::string& entry : entries) out += (out.empty() ? "" : "\n") + entry;
    return out;
}

// What our reader gives for the vector, the file read as the updater reads its script.
std::string ours(const std::string& file, const ProfileVector& v) {
    Script script;
    const bool loaded = script.load(file).ok();
    if (v.sectionRead) return loaded ? joined(script.ini().profileSection(v.section, v.size)) : "";
    return loaded ? script.ini().profileString(v.section, v.key, v.fallback, v.size)
                  : profileStringWithoutFile(v.fallback, v.size);
}

#ifdef _WIN32
// What the Windows profile functions give for it.
std::string theSystems(const std::string& file, const ProfileVector& v) {
    std::string buffer(v.size, '\0');
    if (!v.sectionRead) {
        if (v.size == 0) return {};
        GetPrivateProfileStringA(v.section.c_str(), v.key.c_str(), v.fallback.c_str(), buffer.data(), v.size,
                                 file.c_str());
        return buffer.c_str();
    }
    if (v.size < 2) return {};
    GetPrivateProfileSectionA(v.section.c_str(), buffer.data(), v.size, file.c_str());
    std::vector<std::string> entries;
    for (size_t pos = 0; pos < buffer.size() && buffer[pos] != '\0';) {
        size_t end = buffer.find('\0', pos);
        if (end == std::string::npos) end = buffer.size();
        entries.emplace_back(buffer, pos, end - pos);
        pos = end + 1;
    }
    return joined(entries);
}
#endif

TEST(ProfileVectors, BothBuildsReadEveryVectorAlike) {
    const std::vector<ProfileVector> all = vectors();
    ASSERT_GE(all.size(), 40u);
    TempDir dir;
    int index = 0;
    for (const ProfileVector& v : all) {
        SCOPED_TRACE(v.what);
        // A file of its own per vector: the Windows reader keeps the last files it read.
        const std::string name = "v" + std::to_string(index++) + ".ini";
        const std::string file = dir / (v.file == FileState::InMissingDirectory ? "none\\" + name : name);
        if (v.file == FileState::Written) writeFile(file, v.script);
        EXPECT_EQ(ours(file, v), v.expected);
#ifdef _WIN32
        EXPECT_EQ(theSystems(file, v), v.expected);
#endif
    }
}

TEST(ProfileVectors, ADirectoryReadsLikeAMissingFile) {
    TempDir dir;
    const ProfileVector text = str("a directory", "", "S", "k", 259, "\"d\"", "\"d\"");
    const ProfileVector section = sec("a directory", "", "S", 32767, "");
    EXPECT_EQ(ours(dir.path(), text), text.expected);
    EXPECT_EQ(ours(dir.path(), section), section.expected);
}

}  // namespace
