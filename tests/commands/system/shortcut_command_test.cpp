// LINK: the directory made for each shortcut, ".LNK" appended, the target's directory as
// working directory, the show-state codes, and message 15 when a shortcut cannot be saved.
#include "commands/system/shortcut_command.h"

#include <gtest/gtest.h>

#include "helpers/script_run.h"
#include "helpers/shortcut_file_reader.h"

namespace {

std::string linkSection(const std::string& name, const std::string& src, const std::string& param,
                        const std::string& show, const std::string& dst) {
    return "[" + name + "]\nMODE=LINK\nSRC=" + src + "\nPARAM=" + param + "\nSHOWCMD=" + show + "\nDST=" + dst + "\n";
}

TEST(ShortcutCommand, WritesEachShortcutInADirectoryMadeForIt) {
    ScriptRun run(linkSection("Link", "<Src>\\app\\tool.exe, <Src>\\app\\other.exe", " -x , \"a b\"", "3,1",
                              "<Src>\\menu\\sub\\Tool, <Src>\\menu\\Other.lnk"));
    EXPECT_TRUE(run.run("Link"));
    EXPECT_TRUE(run.flag("Link"));
    EXPECT_TRUE(run.boxes().empty());

    const ShortcutFile tool = readShortcutFile(nativePath(run.path("menu\\sub\\Tool.LNK")));
    ASSERT_TRUE(tool.valid);
    EXPECT_EQ(tool.localPath, run.path("app\\tool.exe"));
    EXPECT_EQ(tool.workingDirectory, run.path("app"));
    EXPECT_EQ(tool.arguments, "-x");
    EXPECT_EQ(tool.showCommand, 3u);
    // ".LNK" is appended even to a name that already ends in an extension.
    const ShortcutFile other = readShortcutFile(nativePath(run.path("menu\\Other.lnk.LNK")));
    ASSERT_TRUE(other.valid);
    EXPECT_EQ(other.arguments, "\"a b\"");
    EXPECT_EQ(other.showCommand, 1u);
}

TEST(ShortcutCommand, ShowCodesMapToShowCommands) {
    struct Case {
        const char* code;
        uint32_t stored;
    } cases[] = {
        {"1", 1}, {"2", 7}, {"3", 3},
        // No show command asked for: the writer's default, shown normally.
        {"0", 1}, {"4", 1}, {"7", 1}, {"max", 1}, {"", 1},
    };
    for (const Case& c : cases) {
        ScriptRun run(linkSection("Link", "<Src>\\app.exe", "", c.code, "<Src>\\App"));
        EXPECT_TRUE(run.run("Link")) << c.code;
        EXPECT_EQ(readShortcutFile(nativePath(run.path("App.LNK"))).showCommand, c.stored) << c.code;
    }
}

TEST(ShortcutCommand, TargetWithoutDirectoryHasNoWorkingDirectory) {
    ScriptRun run(linkSection("Link", "tool.exe", "", "1", "<Src>\\Tool"));
    EXPECT_TRUE(run.run("Link"));
    const ShortcutFile link = readShortcutFile(nativePath(run.path("Tool.LNK")));
    ASSERT_TRUE(link.valid);
    EXPECT_EQ(link.workingDirectory, "");
}

TEST(ShortcutCommand, ShortcutThatCannotBeSavedStopsTheRun) {
    // A file where a directory must go: the directory cannot be made, so nothing is saved.
    const char* const dst = "<Src>\\First, <Src>\\blocker\\sub\\Second";
    ScriptRun run(linkSection("Link", "<Src>\\a.exe,<Src>\\b.exe", "", "1", dst) + "[After]\nMODE=OSVER\n");
    writeFile(run.path("blocker"), "a file");
    EXPECT_FALSE(run.run("Link,After"));
    EXPECT_FALSE(run.flag("Link"));
    EXPECT_TRUE(readShortcutFile(nativePath(run.path("First.LNK"))).valid);
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(
                                  MessageId::ShortcutFailed, {run.path("b.exe"), run.path("blocker\\sub\\Second")})});
}

TEST(ShortcutCommand, EmptyTargetListStopsTheRun) {
    ScriptRun run(linkSection("Link", "", "", "1", "<Src>\\x"));
    EXPECT_FALSE(run.run("Link"));
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(MessageId::WrongItemCount, {"Link", "SRC"})});
}

}  // namespace
