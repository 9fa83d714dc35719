// The file operations of the files layer, one table for both builds: under Wine they hold
// the real Win32 calls to account, natively the emulation of their behaviour.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

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
    std::function<bool(const TempDir&)> operation;
    bool result;
    std::vector<std::string> removed = {};
    Tree added = {};  // or changed
};

TEST(FileOperations, EachCallDoesWhatItsWin32NameSays) {
    const auto at = [](const TempDir& d, const char* p) { return d / p; };
    const Case cases[] = {
        {"copy to a new name", [&](auto& d) { return os::copyFile(at(d, "a.txt"), at(d, "new.txt")); }, true,
         {}, {{"new.txt", "a"}}},
        {"copy refuses an existing target", [&](auto& d) { return os::copyFile(at(d, "a.txt"), at(d, "b.txt")); },
         false, {}},
        {"copy refuses a directory", [&](auto& d) { return os::copyFile(at(d, "dir"), at(d, "new")); }, false, {}},
        {"copy of nothing", [&](auto& d) { return os::copyFile(at(d, "none"), at(d, "new")); }, false, {}},
        {"move to a new name", [&](auto& d) { return os::moveFile(at(d, "a.txt"), at(d, "new.txt")); }, true,
         {"a.txt"}, {{"new.txt", "a"}}},
        {"move refuses an existing target", [&](auto& d) { return os::moveFile(at(d, "a.txt"), at(d, "b.txt")); },
         false, {}},
        {"move of a directory", [&](auto& d) { return os::moveFile(at(d, "full"), at(d, "moved")); }, true,
         {"full\\x"}, {{"moved\\x", "x"}}},
        {"replace in one step", [&](auto& d) { return os::replaceFile(at(d, "a.txt"), at(d, "b.txt")); }, true,
         {"a.txt"}, {{"b.txt", "a"}}},
        {"replace onto a new name", [&](auto& d) { return os::replaceFile(at(d, "a.txt"), at(d, "new.txt")); }, true,
         {"a.txt"}, {{"new.txt", "a"}}},
        {"replace refuses a read-only target",
         [&](auto& d) { return os::replaceFile(at(d, "a.txt"), at(d, "ro.txt")); }, false, {}},
        {"replace refuses a directory", [&](auto& d) { return os::replaceFile(at(d, "a.txt"), at(d, "dir")); },
         false, {}},
        {"delete a file", [&](auto& d) { return os::deleteFile(at(d, "a.txt")); }, true, {"a.txt"}},
        {"delete refuses a directory", [&](auto& d) { return os::deleteFile(at(d, "dir")); }, false, {}},
        {"create a directory", [&](auto& d) { return os::createDirectory(at(d, "new")); }, true, {}, {{"new\\", ""}}},
        {"create refuses an existing directory", [&](auto& d) { return os::createDirectory(at(d, "dir")); }, false,
         {}},
        {"create refuses an existing file", [&](auto& d) { return os::createDirectory(at(d, "a.txt")); }, false, {}},
        {"remove an empty directory", [&](auto& d) { return os::removeDirectory(at(d, "dir")); }, true,
         {"dir\\"}},
        {"remove refuses a full directory", [&](auto& d) { return os::removeDirectory(at(d, "full")); }, false, {}},
        {"remove a link refuses a file", [&](auto& d) { return os::removeLink(at(d, "a.txt")); }, false, {}},
        {"remove a link refuses a directory", [&](auto& d) { return os::removeLink(at(d, "dir")); }, false, {}},
        {"attributes of nothing", [&](auto& d) { return os::setFileAttributes(at(d, "none"), 0x20); }, false, {}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        file_trees::writeTree(dir.path(), start);
        file_trees::makeReadOnly(dir / "ro.txt");
        EXPECT_EQ(c.operation(dir), c.result) << c.name;
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
    ASSERT_TRUE(os::copyFile(dir / "old.txt", dir / "copy.txt"));
    EXPECT_EQ(readFile(dir / "copy.txt"), "old");
    EXPECT_TRUE(readOnly(dir / "copy.txt"));
    const auto copied = fs::last_write_time(nativePath(dir / "copy.txt"));
    EXPECT_LT(std::chrono::abs(copied - stamp), std::chrono::seconds(2));
}

TEST(FileOperations, AttributeWordsSetAndClearReadOnly) {
    TempDir dir;
    writeFile(dir / "f", "x");
    const struct {
        uint32_t word;
        bool readOnly;
    } steps[] = {{0x01, true}, {0x20, false}, {0x21, true}, {0x00, false}, {0x80, false}};
    for (const auto& step : steps) {
        ASSERT_TRUE(os::setFileAttributes(dir / "f", step.word)) << step.word;
        EXPECT_EQ(readOnly(dir / "f"), step.readOnly) << step.word;
        EXPECT_EQ(os::fileAttributes(dir / "f") & os::AttributeReadOnly, step.readOnly ? 1u : 0u) << step.word;
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

TEST(FileOperations, LinksAreCopiedAndRemovedThemselves) {
    TempDir dir;
    file_trees::writeTree(dir.path(), {{"target\\x", "x"}});
    file_trees::Links links;
    MAKE_LINK_OR_SKIP(links, dir / "target", dir / "link");
#ifdef _WIN32
    // Wine 8 follows a link in every call that could copy or remove one: the operations must
    // refuse rather than reach the target.
    EXPECT_FALSE(os::copyLink(dir / "link", dir / "copy"));
    EXPECT_FALSE(os::removeLink(dir / "link"));
    EXPECT_EQ(os::fileAttributes(dir / "copy"), os::InvalidAttributes);
    EXPECT_NE(os::fileAttributes(dir / "link"), os::InvalidAttributes);
#else
    ASSERT_TRUE(os::copyLink(dir / "link", dir / "copy"));
    EXPECT_EQ(os::finalPath(dir / "copy"), os::finalPath(dir / "target"));
    EXPECT_FALSE(os::copyLink(dir / "link", dir / "copy"));
    ASSERT_TRUE(os::removeLink(dir / "link"));
    EXPECT_EQ(os::fileAttributes(dir / "link"), os::InvalidAttributes);
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
    EXPECT_TRUE(os::moveFile(disk / "f.txt", memory + "\\f.txt"));
    EXPECT_FALSE(os::moveFile(disk / "exists.txt", memory + "\\exists.txt"));
    EXPECT_FALSE(os::moveFile(disk / "d", memory + "\\d"));
    EXPECT_FALSE(os::replaceFile(disk / "exists.txt", memory + "\\exists.txt"));
    EXPECT_EQ(readTree(memory), (Tree{{"exists.txt", "old"}, {"f.txt", "f"}}));
    EXPECT_TRUE(readOnly(memory + "\\f.txt"));
    EXPECT_EQ(readTree(disk.path()), (Tree{{"d\\x", "x"}, {"exists.txt", "e"}}));
    fs::remove_all(nativePath(memory));
}
#endif

}  // namespace
