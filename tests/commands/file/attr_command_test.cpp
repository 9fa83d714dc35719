// ATTR from whole scripts: the word as read from ARG, and files changed while directories
// are passed over. (Clearing read-only and the message are in file_commands.json.)
#include <gtest/gtest.h>

#include "commands/file/file_trees.h"

namespace {

using file_trees::readOnly;

TEST(Attr, SetsTheWordOnTheFilesItMatches) {
    struct Case {
        const char* name;
        const char* files;
        const char* words;
        std::vector<std::string> readOnlyAfter;  // of a.dll, b.dll, c.txt, x.dll (a directory)
    };
    const Case cases[] = {
        {"0x21 sets read-only", "<Src>\\app\\b.dll", "0x21", {"a.dll", "b.dll", "c.txt"}},
        {"a word without its lower-case 0x is 0", "<Src>\\app\\a.dll,<Src>\\app\\c.txt", "0X1,1", {}},
        {"an item without a word gets 0", "<Src>\\app\\a.dll, <Src>\\app\\b.dll", "0x20", {"c.txt"}},
        {"a pattern changes files, not directories", "<Src>\\app\\*.dll", "0x1", {"a.dll", "b.dll", "c.txt"}},
    };
    for (const Case& c : cases) {
        ScriptFixture fixture(file_trees::section("Step", "ATTR", {{"FILE", c.files}, {"ARG", c.words}}));
        file_trees::writeTree(fixture.dir().path(),
                              {{"app\\a.dll", "a"}, {"app\\b.dll", "b"}, {"app\\c.txt", "c"}, {"app\\x.dll\\", ""}});
        for (const char* name : {"a.dll", "c.txt"}) file_trees::makeReadOnly(fixture.path(std::string("app\\") + name));
        EXPECT_TRUE(file_trees::runScript(fixture, "Step").completed) << c.name;
        std::vector<std::string> readOnlyAfter;
        for (const char* name : {"a.dll", "b.dll", "c.txt", "x.dll"})
            if (readOnly(fixture.path(std::string("app\\") + name))) readOnlyAfter.push_back(name);
        EXPECT_EQ(readOnlyAfter, c.readOnlyAfter) << c.name;
    }
}

}  // namespace
