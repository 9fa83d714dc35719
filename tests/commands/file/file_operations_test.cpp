// The held-directory operations of the files layer, one table for both builds: under Wine
// they hold the Windows calls to account, natively the emulation of their behaviour. Each
// failure must say which path failed.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "commands/file/file_actions.h"
#include "commands/file/file_trees.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using file_trees::readOnly;
using file_trees::readTree;
using file_trees::Tree;
namespace fs = std::filesystem;

const Tree start = {{"a.txt", "a"}, {"b.txt", "b"}, {"ro.txt", "r"}, {"dir\\", ""}, {"full\\x", "x"}};

struct Case {
    const char* name;
    std::function<os::Result(const os::Directory&)> operation;
    const char* failedPath;  // below the directory; none when it succeeds
    std::vector<std::string> removed = {};
    Tree added = {};  // or changed
};

TEST(FileOperations, EachCallDoesWhatItsWin32NameSays) {
    const Case cases[] = {
        {"copy to a new name", [](auto& d) { return d.copyTo("a.txt", d, "new.txt"); }, nullptr, {}, {{"new.txt", "a"}}},
        {"copy refuses an existing target", [](auto& d) { return d.copyTo("a.txt", d, "b.txt"); }, "b.txt"},
        {"copy refuses a directory", [](auto& d) { return d.copyTo("dir", d, "new"); }, "dir"},
        {"copy of nothing", [](auto& d) { return d.copyTo("none", d, "new"); }, "none"},
        {"move to a new name", [](auto& d) { return d.moveTo("a.txt", d, "new.txt", false); }, nullptr, {"a.txt"},
         {{"new.txt", "a"}}},
        {"move refuses an existing target", [](auto& d) { return d.moveTo("a.txt", d, "b.txt", false); }, "b.txt"},
        {"move of a directory", [](auto& d) { return d.moveTo("full", d, "moved", false); }, nullptr, {"full\\x"},
         {{"moved\\x", "x"}}},
        {"replace in one step", [](auto& d) { return d.moveTo("a.txt", d, "b.txt", true); }, nullptr, {"a.txt"},
         {{"b.txt", "a"}}},
        {"replace onto a new name", [](auto& d) { return d.moveTo("a.txt", d, "new.txt", true); }, nullptr, {"a.txt"},
         {{"new.txt", "a"}}},
        {"replace refuses a read-only target", [](auto& d) { return d.moveTo("a.txt", d, "ro.txt", true); }, "ro.txt"},
        {"replace refuses a directory", [](auto& d) { return d.moveTo("a.txt", d, "dir", true); }, "dir"},
        {"delete a file", [](auto& d) { return d.removeFile("a.txt"); }, nullptr, {"a.txt"}},
        {"delete refuses a read-only file", [](auto& d) { return d.removeFile("ro.txt"); }, "ro.txt"},
        {"delete refuses a directory", [](auto& d) { return d.removeFile("dir"); }, "dir"},
        {"create a directory", [](auto& d) { return d.createChild("new"); }, nullptr, {}, {{"new\\", ""}}},
        {"create refuses an existing directory", [](auto& d) { return d.createChild("dir"); }, "dir"},
        {"create refuses an existing file", [](auto& d) { return d.createChild("a.txt"); }, "a.txt"},
        {"remove an empty directory", [](auto& d) { return d.removeChild("dir"); }, nullptr, {"dir\\"}},
        {"remove refuses a full directory", [](auto& d) { return d.removeChild("full"); }, "full"},
        {"remove refuses a file", [](auto& d) { return d.removeChild("a.txt"); }, "a.txt"},
        {"attributes of nothing", [](auto& d) { return d.setAttributes("none", 0x20); }, "none"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        file_trees::writeTree(dir.path(), start);
        file_trees::makeReadOnly(dir / "ro.txt");
        os::Directory held;
        ASSERT_TRUE(os::Directory::open(dir.path(), held)) << c.name;
        const os::Result result = c.operation(held);
        EXPECT_EQ(result.ok(), c.failedPath == nullptr) << c.name;
        if (!result.ok() && c.failedPath) {
            EXPECT_EQ(result.failure().path, dir / c.failedPath) << c.name;
            EXPECT_NE(result.error(), 0u) << c.name;
        }
        Tree expected = start;
        for (const std::string& path : c.removed) expected.erase(path);
        for (const auto& [path, contents] : c.added) expected[path] = contents;
        EXPECT_EQ(readTree(dir.path()), expected) << c.name;
    }
}

TEST(FileOperations, ACopyKeepsTheAttributesAndLastWriteTime) {
    TempDir dir;
    writeFile(dir / "old.txt", "old");
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(nativePath(dir / "old.txt"), stamp);
    file_trees::makeReadOnly(dir / "old.txt");
    os::Directory held;
    ASSERT_TRUE(os::Directory::open(dir.path(), held));
    ASSERT_TRUE(held.copyTo("old.txt", held, "copy.txt"));
    EXPECT_EQ(readFile(dir / "copy.txt"), "old");
    EXPECT_TRUE(readOnly(dir / "copy.txt"));
    const auto copied = fs::last_write_time(nativePath(dir / "copy.txt"));
    EXPECT_LT(std::chrono::abs(copied - stamp), std::chrono::seconds(2));
}

TEST(FileOperations, AttributeWordsSetAndClearReadOnly) {
    TempDir dir;
    writeFile(dir / "f", "x");
    os::Directory held;
    ASSERT_TRUE(os::Directory::open(dir.path(), held));
    const struct {
        uint32_t word;
        bool readOnly;
    } steps[] = {{0x01, true}, {0x20, false}, {0x21, true}, {0x00, false}, {0x80, false}};
    for (const auto& step : steps) {
        ASSERT_TRUE(held.setAttributes("f", step.word)) << step.word;
        EXPECT_EQ(readOnly(dir / "f"), step.readOnly) << step.word;
        EXPECT_EQ(os::attributesOf(dir / "f") & os::AttributeReadOnly, step.readOnly ? 1u : 0u) << step.word;
    }
}

TEST(FileOperations, FinalPathsAreEqualForEverySpellingOfOnePlace) {
    TempDir dir;
    file_trees::writeTree(dir.path(), {{"a\\b\\", ""}, {"c\\", ""}});
    const std::string place = os::finalPath(dir / "a\\b");
    ASSERT_FALSE(place.empty());
    EXPECT_EQ(os::finalPath(dir / "a\\b\\"), place);
    EXPECT_EQ(os::finalPath(dir / "c\\..\\a\\b"), place);
    EXPECT_NE(os::finalPath(dir / "a"), place);
    EXPECT_EQ(os::finalPath(dir / "missing"), "");
    file_trees::Links links;
    MAKE_LINK_OR_SKIP(links, dir / "a", dir / "link");
    EXPECT_EQ(os::finalPath(dir / "link\\b"), place);
}

TEST(FileOperations, LinksInATreeAreNeverEnteredButCopiedAndRemovedThemselves) {
    TempDir dir;
    file_trees::writeTree(dir.path(), {{"target\\x", "x"}});
    file_trees::Links links;
    MAKE_LINK_OR_SKIP(links, dir / "target", dir / "link");
    os::Directory held, through;
    ASSERT_TRUE(os::Directory::open(dir.path(), held));
    EXPECT_FALSE(held.openChild("link", through));
    // A path the script names may go through a link of the running user's own.
    ASSERT_TRUE(os::Directory::open(dir / "link", through));
    std::vector<os::FoundEntry> listed;
    ASSERT_TRUE(through.list("*", listed));
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "x");
#ifdef _WIN32
    // Wine 8 follows a link to a directory in every open, also one asked not to: the
    // operations must refuse rather than reach the target.
    EXPECT_FALSE(held.copyTo("link", held, "copy"));
    EXPECT_FALSE(held.removeFile("link"));
    EXPECT_FALSE(held.moveTo("link", held, "moved", false));
    EXPECT_FALSE(held.setAttributes("link", 0x01));
    EXPECT_EQ(os::attributesOf(dir / "copy"), os::InvalidAttributes);
    EXPECT_NE(os::attributesOf(dir / "link"), os::InvalidAttributes);
#else
    ASSERT_TRUE(held.copyTo("link", held, "copy"));
    EXPECT_EQ(os::finalPath(dir / "copy"), os::finalPath(dir / "target"));
    EXPECT_FALSE(held.copyTo("link", held, "copy"));
    ASSERT_TRUE(held.removeFile("link"));
    ASSERT_TRUE(held.removeFile("copy"));
    EXPECT_EQ(os::attributesOf(dir / "link"), os::InvalidAttributes);
#endif
    EXPECT_EQ(readTree(dir / "target"), (Tree{{"x", "x"}}));
}

#ifndef _WIN32
// Another file system is at hand natively (memory and disk); under Wine every drive here is
// the same one.
TEST(FileOperations, AMoveToAnotherFileSystemCopiesThenRemoves) {
    TempDir disk;
    const std::string memory = "\\dev\\shm\\updater-move-" + std::to_string(::getpid());
    struct stat a, b;
    if (::stat(nativePath(disk.path()).c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system";
    fs::create_directory(nativePath(memory));
    file_trees::writeTree(disk.path(), {{"f.txt", "f"}, {"d\\x", "x"}, {"exists.txt", "e"}});
    file_trees::writeTree(memory, {{"exists.txt", "old"}});
    file_trees::makeReadOnly(disk / "f.txt");
    ScriptFixture fixture("");
    FileActions actions(fixture.run());
    os::Directory from, to;
    ASSERT_TRUE(os::Directory::open(disk.path(), from));
    ASSERT_TRUE(os::Directory::open(memory, to));
    const auto entry = [&from](const char* name) {
        os::FoundEntry found;
        EXPECT_TRUE(from.look(name, found)) << name;
        return found;
    };
    EXPECT_TRUE(actions.move(from, entry("f.txt"), to, "f.txt", false));
    EXPECT_FALSE(actions.move(from, entry("exists.txt"), to, "exists.txt", false));
    EXPECT_FALSE(actions.move(from, entry("d"), to, "d", false));
    EXPECT_TRUE(os::isCrossVolume(from.moveTo("exists.txt", to, "exists.txt", true).error()));
    EXPECT_EQ(readTree(memory), (Tree{{"exists.txt", "old"}, {"f.txt", "f"}}));
    EXPECT_TRUE(readOnly(memory + "\\f.txt"));
    EXPECT_EQ(readTree(disk.path()), (Tree{{"d\\x", "x"}, {"exists.txt", "e"}}));
    fs::remove_all(nativePath(memory));
}
#endif

}  // namespace
