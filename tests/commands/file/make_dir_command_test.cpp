// MAKEDIR and createPath, for what the end-to-end scenarios (file_commands.json) leave out:
// what already exists, and paths without a separator.
#include <gtest/gtest.h>

#include "commands/file/file_trees.h"
#include "commands/file/make_dir_command.h"

namespace {

using file_trees::Outcome;
using file_trees::Tree;

TEST(MakeDir, LeavesWhatExistsAlone) {
    const Tree before = {{"a\\", ""}, {"file", "f"}};
    for (const char* dirs : {"<Src>\\a", "<Src>\\file", "<Src>\\a\\"}) {
        const std::string script = file_trees::section("Step", "MAKEDIR", {{"DIR", dirs}});
        EXPECT_EQ(file_trees::runIn(before, script), (Outcome{true, {}, before})) << dirs;
    }
}

TEST(MakeDir, CreatePathLeavesPathsWithoutSeparatorsAlone) {
    ScriptFixture fixture("");
    EXPECT_TRUE(createPath(fixture.run(), ""));
    EXPECT_TRUE(createPath(fixture.run(), "no-separator-here"));
    EXPECT_FALSE(file_trees::fs::exists("no-separator-here"));
}

}  // namespace
