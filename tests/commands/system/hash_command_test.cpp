// HASH: CRC's rules with SHA-256 values: all-must-match and one-is-enough, any letter case,
// values that are not 64 digits, empty and unreadable files, and the measuring box.
#include "commands/system/hash_command.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "helpers/script_run.h"

namespace {

const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string empty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

std::string hashSection(const std::string& file, const std::string& type, const std::string& hash) {
    return "[Check]\nMODE=HASH\nFILE=" + file + "\nTYPE=" + type + "\nHASH=" + hash + "\n";
}

TEST(HashCommand, ChecksSetTheFlag) {
    std::string upper = abc;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const struct {
        std::string files;
        const char* type;
        std::string hashes;
        bool flag;
    } cases[] = {
        {"<Src>\\abc.txt, <Src>\\empty.txt", "AND", abc + ", " + empty, true},
        {"<Src>\\abc.txt", "and", upper, true},
        {"<Src>\\abc.txt, <Src>\\empty.txt", "AND", abc + ", " + abc, false},
        {"<Src>\\abc.txt, <Src>\\missing.txt", "AND", abc + ", " + empty, false},
        {"<Src>\\abc.txt", "AND", abc.substr(0, 63), false},
        {"<Src>\\abc.txt", "AND", "0x" + abc, false},
        {"<Src>\\missing.txt, <Src>\\abc.txt", "", empty + ", " + abc, true},
        {"<Src>\\abc.txt, <Src>\\empty.txt", "OR", empty + ", " + abc, false},
        {"<Src>\\folder", "AND", empty, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files + " " + c.hashes);
        ScriptRun run(hashSection(c.files, c.type, c.hashes));
        writeFile(run.path("abc.txt"), "abc");
        writeFile(run.path("empty.txt"), "");
        std::filesystem::create_directories(nativePath(run.path("folder")));
        EXPECT_TRUE(run.run("Check"));
        EXPECT_EQ(run.flag("Check"), c.flag);
        EXPECT_TRUE(run.boxes().empty());
    }
}

TEST(HashCommand, AnEmptyValueMeasures) {
    ScriptRun run(hashSection("<Src>\\abc.txt, <Src>\\missing.txt", "AND", ""));
    writeFile(run.path("abc.txt"), "abc");
    EXPECT_TRUE(run.run("Check"));
    ASSERT_EQ(run.boxes().size(), 2u);
    EXPECT_EQ(run.boxes()[0].text, "PROC\t: Check\nFILE\t: " + run.path("abc.txt") + "\nSHA256\t: " + abc);
    EXPECT_EQ(run.boxes()[1].text, "PROC\t: Check\nFILE\t: " + run.path("missing.txt") + "\nSHA256\t: GetFileData Error.");
    EXPECT_FALSE(run.flag("Check"));
}

}  // namespace
