// pathExists, getAttributes and isDirectory on one table of paths, the same on both builds:
// where a search and an attribute query disagree about a path is exactly what is checked.
#include <gtest/gtest.h>

#include <filesystem>

#include "run/path_tests.h"
#include "os/files.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t invalid = os::InvalidAttributes;

TEST(PathTests, EachPathFormAnswersAllThreeTests) {
    TempDir dir;
    fs::create_directory(nativePath(dir / "data"));
    fs::create_directory(nativePath(dir / "empty"));
    for (const char* file : {"a.txt", "b.log", "locked.txt", "data\\inner.txt"}) writeFile(dir / file, "x");
    fs::permissions(nativePath(dir / "locked.txt"),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    struct Case {
        const char* path;  // below the directory; "" is the directory itself with its separator
        bool exists;
        bool directory;
        uint32_t attributes;  // compared on the bits both builds give a meaning
    };
    const Case cases[] = {
        {"a.txt", true, false, 0x20},
        {"locked.txt", true, false, 0x21},
        {"data\\inner.txt", true, false, 0x20},
        {"missing\\..\\locked.txt", true, false, 0x21},  // ".." goes by the text, as on Windows
        {"data", true, true, 0x10},
        {"data\\", false, true, 0x10},  // a search refuses the separator, the query takes it
        {"", false, true, 0x10},
        {"a.txt\\", false, false, invalid},
        {"*.log", true, false, invalid},  // a pattern is present when it matches
        {"*.tmp", false, false, invalid},
        {"d*", true, false, invalid},           // and never a directory, even when one matches
        {"empty\\*", true, false, invalid},     // "." and ".." match in an empty directory
        {"empty\\*.txt", false, false, invalid},
        {"missing", false, false, invalid},
        {"missing\\a.txt", false, false, invalid},
        {"missing\\*", false, false, invalid},
    };
    for (const Case& c : cases) {
        const Text path(dir / c.path);
        EXPECT_EQ(pathExists(path), c.exists) << c.path;
        EXPECT_EQ(isDirectory(path), c.directory) << c.path;
        uint32_t attributes = 0x5A5A5A5A;  // must be overwritten even on failure
        EXPECT_EQ(getAttributes(path, attributes), c.attributes != invalid) << c.path;
        if (attributes != invalid) attributes &= 0x4B7;
        EXPECT_EQ(attributes, c.attributes) << c.path;
    }
}

}  // namespace
