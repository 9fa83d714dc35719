// The script read once and its raw readers on both builds: the "NO_DATA" rule, the value
// limit, the "%d" rule of integers, and the joining of section entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run/script_file.h"
#include "support/test_support.h"

namespace {

const char* const script =
    "[KEYS]\n"
    "EMPTY=\n"
    "MARKER=No_Data\n"
    "QUOTED_MARKER=\"no_data\"\n"
    "ALMOST=NO_DATA!\n"
    "PLAIN=  C:\\Program Files\\App  \n"
    "NUMBER=12abc\n"
    "NEGATIVE= -5\n"
    "LETTERS=abc\n"
    "SIGN=+\n"
    "[DEFINE]\n"
    "a=1\n"
    ";note\n"
    "b=2\n"
    "[ONLY_COMMENTS]\n"
    ";x=1\n";

class ScriptFile : public ::testing::Test {
protected:
    void SetUp() override { write(script); }
    void write(const std::string& text) {
        writeFile(path, text);
        ASSERT_TRUE(loaded.load(path));
    }
    TempDir dir;
    const std::string path = dir / "patch.ini";
    Script loaded;
};

TEST_F(ScriptFile, ReadsTextKeysWithTheMissingKeyRule) {
    struct Case {
        const char* section;
        const char* key;
        bool found;
        const char* value;
    };
    const Case cases[] = {
        {"KEYS", "EMPTY", true, ""},
        {"keys", "plain", true, "C:\\Program Files\\App"},
        {"KEYS", "MARKER", false, nullptr},
        {"KEYS", "QUOTED_MARKER", false, nullptr},
        {"KEYS", "ALMOST", true, "NO_DATA!"},
        {"KEYS", "ABSENT", false, nullptr},
        {"NO_SUCH_SECTION", "EMPTY", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        Text out("before");
        EXPECT_EQ(loaded.readString(c.section, c.key, out), c.found);
        EXPECT_EQ(out.str(), c.found ? c.value : "before");
    }
}

TEST_F(ScriptFile, ReadsIntegerKeysByPercentD) {
    struct Case {
        const char* key;
        bool found;
        int expected;
    };
    const Case cases[] = {
        {"NUMBER", true, 12},
        {"NEGATIVE", true, -5},
        {"LETTERS", true, 77},  // no number: the earlier value stands
        {"SIGN", true, 77},
        {"EMPTY", true, 77},
        {"MARKER", false, 77},
        {"ABSENT", false, 77},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        int out = 77;
        EXPECT_EQ(loaded.readInt("KEYS", c.key, out), c.found);
        EXPECT_EQ(out, c.expected);
    }
}

TEST_F(ScriptFile, ReadsAValueWholeUpTo32767Bytes) {
    const std::string longest(MaxValueBytes, 'a');
    write("[S]\nK=" + std::string(300, 'k') + "\nJ=" + longest + "\nL=" + longest + "bc\n");
    Text out;
    ASSERT_TRUE(loaded.readString("S", "K", out));
    EXPECT_EQ(out.str(), std::string(300, 'k'));
    ASSERT_TRUE(loaded.readString("S", "J", out));
    EXPECT_EQ(out.str(), longest);
    ASSERT_TRUE(loaded.readString("S", "L", out));
    EXPECT_EQ(out.str(), longest);
}

TEST_F(ScriptFile, JoinsSectionEntriesWithLineBreaks) {
    struct Case {
        const char* section;
        const char* start;
        int count;
        const char* text;
    };
    const Case cases[] = {
        {"DEFINE", "", 2, "a=1\nb=2"},
        {"define", "", 2, "a=1\nb=2"},
        {"DEFINE", "x=0", 2, "x=0\na=1\nb=2"},  // a non-empty start gets a break first
        {"MISSING", "", 0, ""},
        {"MISSING", "x=0", 0, "x=0"},
        {"ONLY_COMMENTS", "x=0", 0, "x=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " after '" + c.start + "'");
        Text out(c.start);
        EXPECT_EQ(loaded.readSection(c.section, out), c.count);
        EXPECT_EQ(out.str(), c.text);
    }
}

TEST_F(ScriptFile, CutsASectionAt32767Bytes) {
    // Entries of 12 bytes and a NUL: 2520 of them fill 32760 of the 32765 bytes that stay
    // before the two closing NULs, and 5 bytes of the next one follow.
    std::string text = "[BIG]\n";
    for (int i = 0; i < 3000; ++i) text += "e" + std::to_string(10000 + i) + "=value\n";
    write(text);
    Text out;
    EXPECT_EQ(loaded.readSection("BIG", out), 2521);
    const std::string lines = out.str();
    EXPECT_EQ(lines.substr(0, 13), "e10000=value\n");
    EXPECT_EQ(lines.substr(lines.size() - 18), "e12519=value\ne1252");
}

TEST_F(ScriptFile, IsReadOnceWhenLoaded) {
    writeFile(path, "[KEYS]\nEMPTY=now set, and the file is longer\n");
    Text out("before");
    ASSERT_TRUE(loaded.readString("KEYS", "EMPTY", out));
    EXPECT_EQ(out.str(), "");
}

TEST(ScriptLoad, AMissingFileIsEmptyButWhatIsNoFileFails) {
    TempDir dir;
    writeFile(dir / "real.ini", "[S]\nK=v\n");
    std::filesystem::create_directory(nativePath(dir / "folder.ini"));
    struct Case {
        std::string path;
        bool loads;
    };
    const Case cases[] = {
        {dir / "real.ini", true},
        {dir / "missing.ini", true},
        {dir / "no folder\\missing.ini", false},
        {dir / "folder.ini", false},
    };
    for (const Case& c : cases) {
        Script script;
        EXPECT_EQ(script.load(c.path).ok(), c.loads) << c.path;
    }
}

}  // namespace
