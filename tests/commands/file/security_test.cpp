// What the updater guarantees when it runs with rights over trees others can write to: no
// way out of the trees a script names, no link followed that someone else could have planted,
// no file of anyone else's touched under a temporary name. Each case fails without its mend.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <set>
#include <thread>

#include "commands/file/copy_command.h"
#include "commands/file/delete_command.h"
#include "commands/file/file_trees.h"
#include "helpers/script_run.h"
#include "os/system.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using file_trees::Tree;

Text at(const ScriptFixture& fixture, const char* relative) { return Text(fixture.path(relative).c_str()); }

// A name that was taken is passed over, and what is under it, a link to someone's file
// included, stays as it was; the copy goes on under the next name.
TEST(TemporaryNames, ATakenNameIsPassedOverAndLeftAsItWas) {
    ScriptFixture fixture("");
    file_trees::writeTree(fixture.dir().path(), {{"new.txt", "new"}, {"dst\\b.txt", "old"}, {"victim.txt", "mine"},
                                                 {"dst\\~upd0000000000000001.tmp", "theirs"},
                                                 {"dst\\~upd0000000000000002.tmp\\", ""}});
    file_trees::makeReadOnly(fixture.path("dst\\~upd0000000000000001.tmp"));
    file_trees::Links links;
#ifndef _WIN32
    ASSERT_TRUE(links.make(fixture.path("victim.txt"), fixture.path("dst\\~upd0000000000000003.tmp")));
#endif
    uint64_t next = 0;
    os::setTemporaryNameSource([&next] { return ++next; });
    const os::Result copied = copyItem(fixture.run(), at(fixture, "new.txt"), at(fixture, "dst\\b.txt"));
    os::setTemporaryNameSource({});
    ASSERT_TRUE(copied.ok());
    EXPECT_EQ(readFile(fixture.path("dst\\b.txt")), "new");
    EXPECT_EQ(readFile(fixture.path("dst\\~upd0000000000000001.tmp")), "theirs");
    EXPECT_TRUE(file_trees::readOnly(fixture.path("dst\\~upd0000000000000001.tmp")));
    EXPECT_TRUE(file_trees::fs::is_directory(nativePath(fixture.path("dst\\~upd0000000000000002.tmp"))));
    EXPECT_EQ(readFile(fixture.path("victim.txt")), "mine");
}

TEST(TemporaryNames, AreNotTheSameTwice) {
    std::set<std::string> names;
    for (int i = 0; i < 1000; ++i) names.insert(os::temporaryName());
    EXPECT_EQ(names.size(), 1000u);
}

#ifndef _WIN32

// A "\" is an ordinary byte in a Linux name, but the updater's paths are split at it: a
// name like "..\victim.txt" would otherwise name a place beside the tree.
TEST(Names, WithABackslashAreNeverJoinedIntoAPath) {
    struct Case {
        const char* name;
        std::string script;
        MessageId failure;
    };
    const Case cases[] = {
        {"DELETE", file_trees::section("Step", "DELETE", {{"FILE", "<Src>\\work\\tree"}}), MessageId::DeleteFailed},
        {"COPY", file_trees::section("Step", "COPY", {{"FROM", "<Src>\\work\\tree"}, {"TO", "<Src>\\work\\dst"}}),
         MessageId::CopyFailed},
    };
    for (const Case& c : cases) {
        ScriptFixture fixture(c.script);
        file_trees::writeTree(fixture.dir().path(), {{"work\\victim.txt", "mine"}, {"work\\tree\\a.txt", "a"}});
        // Written by the native path, so that the "\\" stays a byte of the name.
        const std::string tree = nativePath(fixture.path("work\\tree"));
        std::ofstream(tree + "/..\\victim.txt") << "planted";
        std::ofstream(tree + "/..\\..\\outside.txt") << "planted";
        const file_trees::Run run = file_trees::runScript(fixture, "Step");
        EXPECT_FALSE(run.completed) << c.name;
        ASSERT_EQ(run.boxes.size(), 1u) << c.name;
        EXPECT_EQ(run.boxes[0].find(formatMessage(c.failure, {}).substr(0, 20)), 0u) << c.name;
        EXPECT_EQ(readFile(fixture.path("work\\victim.txt")), "mine") << c.name;
        EXPECT_FALSE(fileExists(fixture.path("outside.txt"))) << c.name;
    }
}

// Another program keeps swapping a directory of the tree for a link to another folder while
// DELETE removes the tree: whatever it catches, nothing of the other folder goes.
TEST(Walk, ADirectorySwappedForALinkLeadsNowhere) {
    constexpr int trials = 200;
    constexpr int files = 300;
    ScriptFixture fixture("");
    const std::string root = nativePath(fixture.dir().path());
    file_trees::fs::create_directory(root + "/other");
    for (int f = 0; f < files; ++f) writeFile(fixture.path("other\\f" + std::to_string(f)), "x");
    for (int trial = 0; trial < trials; ++trial) {
        file_trees::fs::create_directories(root + "/tree/sub");
        for (int f = 0; f < files; ++f) writeFile(fixture.path("tree\\sub\\f" + std::to_string(f)), "x");
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            const std::string sub = root + "/tree/sub", aside = root + "/tree/sub.real";
            while (!stop) {
                if (::rename(sub.c_str(), aside.c_str()) != 0) continue;
                if (::symlink("../other", sub.c_str()) == 0) ::unlink(sub.c_str());
                ::rename(aside.c_str(), sub.c_str());
            }
        });
        (void)deleteItem(fixture.run(), at(fixture, "tree"));
        stop = true;
        swapper.join();
        size_t left = 0;
        for (const auto& entry : file_trees::fs::directory_iterator(root + "/other")) left += entry.is_regular_file();
        ASSERT_EQ(left, size_t(files)) << "trial " << trial;
        std::error_code ignored;
        file_trees::fs::remove_all(root + "/tree", ignored);
    }
}

// A shortcut's place that is a link to another file: the link is replaced, the file it led
// to stays as it was.
TEST(Shortcut, AtALinkReplacesTheLinkItself) {
    ScriptRun run("[Link]\nMODE=LINK\nSRC=<Src>\\app.exe\nPARAM=\nSHOWCMD=\nDST=<Src>\\menu\\App\n");
    file_trees::writeTree(run.dir().path(), {{"victim.txt", "mine"}, {"menu\\", ""}});
    file_trees::fs::create_symlink(nativePath(run.path("victim.txt")), nativePath(run.path("menu\\App.LNK")));
    EXPECT_TRUE(run.run("Link"));
    EXPECT_EQ(readFile(run.path("victim.txt")), "mine");
    EXPECT_FALSE(file_trees::fs::is_symlink(nativePath(run.path("menu\\App.LNK"))));
    EXPECT_GT(file_trees::fs::file_size(nativePath(run.path("menu\\App.LNK"))), 76u);
}

// A link in a folder everybody may write to, made by another user, is not followed where
// the updater writes; the same link of the running user's own is.
TEST(Links, OnAScriptsPathAreFollowedOnlyWhenTheRunningUserOrRootOwnsThem) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a link to another user takes root";
    }
    for (const bool someoneElse : {true, false}) {
        ScriptRun run(file_trees::section("Step", "COPY", {{"FROM", "<Src>\\a.txt"}, {"TO", "<Src>\\shared\\drop\\a.txt"}}));
        file_trees::writeTree(run.dir().path(), {{"a.txt", "a"}, {"victim\\", ""}, {"shared\\", ""}});
        const std::string shared = nativePath(run.path("shared"));
        ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        ASSERT_EQ(::symlink(nativePath(run.path("victim")).c_str(), (shared + "/drop").c_str()), 0);
        if (someoneElse) {
            ASSERT_EQ(::lchown((shared + "/drop").c_str(), 65534, 65534), 0);
        }
        EXPECT_EQ(run.run("Step"), !someoneElse) << someoneElse;
        EXPECT_EQ(fileExists(run.path("victim\\a.txt")), !someoneElse) << someoneElse;
    }
}

// Directories opened by descriptor, not by path: a tree whose paths pass the system's path
// limit is copied whole and deleted, not skipped in part.
TEST(Walk, TreesDeeperThanThePathLimitAreCopiedWhole) {
    ScriptFixture fixture("");
    const std::string name(100, 'd');
    constexpr int depth = 50;  // 50 names of 100 bytes: paths of over 5,000 bytes, past PATH_MAX
    file_trees::fs::create_directory(nativePath(fixture.path("src")));
    int held = ::open(nativePath(fixture.path("src")).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    for (int level = 0; level < depth; ++level) {
        const int file = ::openat(held, ("f" + std::to_string(level)).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(file, 0);
        ASSERT_EQ(::write(file, "x", 1), 1);
        ::close(file);
        ASSERT_EQ(::mkdirat(held, name.c_str(), 0755), 0);
        const int next = ::openat(held, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(held);
        held = next;
        ASSERT_GE(held, 0);
    }
    ::close(held);
    ASSERT_TRUE(copyItem(fixture.run(), at(fixture, "src"), at(fixture, "dst")));
    int found = 0;
    held = ::open(nativePath(fixture.path("dst")).c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && held >= 0; ++level) {
        struct stat info;
        found += ::fstatat(held, ("f" + std::to_string(level)).c_str(), &info, 0) == 0;
        const int next = ::openat(held, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(held);
        held = next;
    }
    if (held >= 0) ::close(held);
    EXPECT_EQ(found, depth);
    EXPECT_TRUE(deleteItem(fixture.run(), at(fixture, "dst")));
    EXPECT_TRUE(deleteItem(fixture.run(), at(fixture, "src")));
    EXPECT_FALSE(fileExists(fixture.path("src")));
}

#endif

}  // namespace
