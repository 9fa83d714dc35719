// MOVE from whole scripts, for what the end-to-end scenarios (file_commands.json) leave out:
// refusals inside a walk, and moves between file systems.
#include <gtest/gtest.h>

#include "commands/file/file_trees.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using file_trees::Outcome;
using file_trees::Tree;

std::string move(const std::string& from, const std::string& to) {
    return file_trees::section("Step", "MOVE", {{"FROM", from}, {"TO", to}});
}

std::vector<std::string> failed(const char* from, const char* to) {
    return file_trees::message(MessageId::MoveFailed, {from, to});
}

TEST(Move, RefusesToReplaceAReadOnlyFile) {
    const Outcome outcome = file_trees::runIn({{"src\\a.txt", "new"}, {"dst\\a.txt", "old"}},
                                              move("<Src>\\src", "<Src>\\dst"), {"dst\\a.txt"});
    EXPECT_EQ(outcome, (Outcome{false, failed("<Src>\\src", "<Src>\\dst"),
                                {{"src\\a.txt", "new"}, {"dst\\a.txt", "old"}}}));
}

TEST(Move, MakesTheLevelsOfASingleFile) {
    EXPECT_EQ(file_trees::runIn({{"a.txt", "a"}}, move("<Src>\\a.txt", "<Src>\\x\\y\\a.txt")),
              (Outcome{true, {}, {{"x\\y\\a.txt", "a"}}}));
}

// A file that cannot leave its directory stops the move; what went before stays moved, the
// source directory stays with what is left.
TEST(Move, AFileThatCannotBeMovedStopsTheWalk) {
    const Outcome outcome = file_trees::runIn({{"src\\a\\x.txt", "x"}, {"src\\b\\", ""}, {"dst\\a\\x.txt\\", ""}},
                                              move("<Src>\\src", "<Src>\\dst"));
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.boxes, failed("<Src>\\src", "<Src>\\dst"));
    EXPECT_EQ(outcome.after.count("src\\a\\x.txt"), 1u);
    EXPECT_EQ(outcome.after.count("dst\\a\\x.txt\\"), 1u);
}

#ifndef _WIN32
// Between file systems nothing is renamed: each file is copied into place and its original
// removed. Natively memory and disk are two file systems; under Wine every drive here is one.
TEST(Move, AcrossFileSystemsCopiesIntoPlaceAndRemoves) {
    const std::string memory = "\\dev\\shm\\updater-move-" + std::to_string(::getpid());
    ScriptFixture fixture(move(memory + "\\src", "<Src>\\dst"));
    struct stat disk, shm;
    if (::stat(nativePath(fixture.dir().path()).c_str(), &disk) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        disk.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system";
    }
    file_trees::writeTree(memory, {{"src\\a.txt", "new"}, {"src\\sub\\b.txt", "b"}, {"src\\empty\\", ""}});
    file_trees::writeTree(fixture.path("dst"), {{"a.txt", "old"}, {"keep.txt", "k"}});
    EXPECT_TRUE(file_trees::runScript(fixture, "Step").completed);
    EXPECT_EQ(file_trees::readTree(memory), Tree{});
    EXPECT_EQ(file_trees::readTree(fixture.path("dst")),
              (Tree{{"a.txt", "new"}, {"keep.txt", "k"}, {"sub\\b.txt", "b"}, {"empty\\", ""}}));
    file_trees::fs::remove_all(nativePath(memory));
}
#endif

}  // namespace
