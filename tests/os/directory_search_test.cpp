// Directory search and attribute words checked against one set of vectors on both builds:
// under Wine they hold the real FindFirstFileA and GetFileAttributesA to account, natively
// our emulation. A vector that Wine is known to get wrong is marked and checked elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "os/files.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// Wine 8 lacks Windows' dot and question-mark rules, and hides dot-files where Windows does not.
bool underWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
// Windows looks names up without regard to case; the emulation takes an exact name as written.
constexpr bool exactNamesIgnoreCase = true;
#else
bool underWine() { return false; }
constexpr bool exactNamesIgnoreCase = false;
#endif

// Dot-files read as hidden in the emulation and under Wine, never on Windows itself.
bool dotFilesHidden() { return !exactNamesIgnoreCase || underWine(); }

// The bits both builds give a meaning; Windows may add indexing and other bits of its own.
constexpr uint32_t comparedBits = os::AttributeReadOnly | os::AttributeHidden | os::AttributeSystem |
                                  os::AttributeDirectory | os::AttributeArchive | os::AttributeNormal |
                                  os::AttributeReparsePoint;

uint32_t compared(uint32_t word) { return word == os::InvalidAttributes ? word : word & comparedBits; }

std::vector<std::string> listed(const std::string& pattern) {
    std::vector<std::string> names;
    for (os::DirectorySearch search(pattern); search.found(); search.next()) names.push_back(search.entry().name);
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

void makeReadOnly(const std::string& scriptPath) {
    fs::permissions(nativePath(scriptPath), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// Every name is a valid 8.3 name except where a long name is the point, so that Windows'
// matching of short names cannot add entries to what a pattern finds.
class SearchTree : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(nativePath(dir / "data\\deeper"));
        fs::create_directory(nativePath(dir / "sub.dir"));
        for (const char* file : {"a.txt", "ab.txt", "a.b.txt", "Upper.TXT", "readme", "x.tar.gz", ".profile", "locked",
                                 "data\\inner.txt", "data\\notes"})
            writeFile(dir / file, "x");
        makeReadOnly(dir / "locked");
    }

    std::string under(const std::string& relative) const { return dir / relative; }

    TempDir dir;
};

const std::vector<std::string> everything = {".",         "..",    ".profile", "Upper.TXT", "a.b.txt", "a.txt",
                                             "ab.txt",    "data",  "locked",   "readme",    "sub.dir", "x.tar.gz"};

TEST_F(SearchTree, PatternsFindTheNamesWindowsFinds) {
    struct Case {
        const char* pattern;  // below the tree; "" is the tree itself with a trailing separator
        std::vector<std::string> expected;
        bool wineDiffers = false;
    };
    const Case cases[] = {
        {"a.txt", {"a.txt"}},
        {"readme", {"readme"}},
        {"data", {"data"}},  // a directory's own entry, not its contents
        {"sub.dir", {"sub.dir"}},
        {"*", everything},
        {"*.*", everything},  // names without a dot too
        {"*.txt", {"Upper.TXT", "a.b.txt", "a.txt", "ab.txt"}},
        {"*.TXT", {"Upper.TXT", "a.b.txt", "a.txt", "ab.txt"}},
        {"?.txt", {"a.txt"}},
        {"a*", {"a.b.txt", "a.txt", "ab.txt"}},
        {"A*", {"a.b.txt", "a.txt", "ab.txt"}},
        {"*a", {"data"}},
        {"*e", {".profile", "readme"}},
        {"*.gz", {"x.tar.gz"}},
        {"*.tar", {}},
        {"*.tar.*", {"x.tar.gz"}},
        {"a.*", {"a.b.txt", "a.txt"}},
        {"readme.*", {"readme"}},  // a dot before "*" also matches the end of the name
        {"readm?", {"readme"}},
        {".*", {".", "..", ".profile"}},
        {"*.dir", {"sub.dir"}},
        {"*.none", {}},
        {"data\\*", {".", "..", "deeper", "inner.txt", "notes"}},
        {"data\\*.txt", {"inner.txt"}},
        {"data\\.", {"data"}},
        {"data\\..\\a.txt", {"a.txt"}},
        {"missing\\..\\readme", {"readme"}},  // ".." goes by the text, as on Windows
        {"", {}},                             // a trailing separator finds nothing
        {"data\\", {}},
        {"missing", {}},
        {"missing\\*", {}},
        {"missing\\a.txt", {}},
        {"a.txt\\*", {}},
        // Windows' own rules, which Wine 8 does not follow.
        {"data\\*.", {".", "..", "deeper", "notes"}, true},  // only names without a dot
        {"??.txt", {"a.txt", "ab.txt"}, true},               // "?" matches nothing before a dot
        {"a?.txt", {"a.txt", "ab.txt"}, true},
        {"readme?", {"readme"}, true},  // or at the end of the name
        {"readme.?", {"readme"}, true},
        {"a?b.txt", {}, true},  // but "?" never matches the dot itself
    };
    for (const Case& c : cases) {
        if (c.wineDiffers && underWine()) continue;
        EXPECT_EQ(sorted(listed(under(c.pattern))), sorted(c.expected)) << "pattern " << c.pattern;
    }
}

TEST_F(SearchTree, ExactNamesFollowTheSystemsLetterCase) {
    const std::vector<std::string> expected =
        exactNamesIgnoreCase ? std::vector<std::string>{"a.txt"} : std::vector<std::string>{};
    EXPECT_EQ(listed(under("A.TXT")), expected);
    EXPECT_EQ(os::attributesOf(under("A.TXT")) != os::InvalidAttributes, exactNamesIgnoreCase);
}

// The order an NTFS volume lists in, which Wine keeps too: a run that fails stops at the
// same entry every time.
TEST_F(SearchTree, ListingComesInNameOrderWithDotsFirst) {
    const std::vector<std::string> expected = {".",      "..",     ".profile", "a.b.txt",   "a.txt",   "ab.txt",
                                               "data",   "locked", "readme",   "sub.dir", "Upper.TXT", "x.tar.gz"};
    EXPECT_EQ(listed(under("*")), expected);
}

TEST_F(SearchTree, AttributeWordsAgreeBetweenSearchAndQuery) {
    const uint32_t hidden = dotFilesHidden() ? os::AttributeHidden : 0;
    const std::map<std::string, uint32_t> expected = {
        {".", 0x10},     {"..", 0x10},       {".profile", 0x20 | hidden}, {"Upper.TXT", 0x20},
        {"a.b.txt", 0x20}, {"a.txt", 0x20},  {"ab.txt", 0x20},            {"data", 0x10},
        {"locked", 0x21}, {"readme", 0x20},  {"sub.dir", 0x10},           {"x.tar.gz", 0x20},
    };
    std::map<std::string, uint32_t> found;
    for (os::DirectorySearch search(under("*")); search.found(); search.next())
        found[search.entry().name] = compared(search.entry().attributes);
    EXPECT_EQ(found, expected);
    for (const auto& [name, word] : expected) EXPECT_EQ(compared(os::attributesOf(under(name))), word) << name;
}

TEST_F(SearchTree, SearchEndsOnceAndStaysEnded) {
    os::DirectorySearch search(under("a.txt"));
    ASSERT_TRUE(search.found());
    EXPECT_EQ(search.entry().name, "a.txt");
    EXPECT_FALSE(search.next());
    EXPECT_FALSE(search.found());
    EXPECT_FALSE(search.next());

    os::DirectorySearch nothing(under("*.none"));
    EXPECT_FALSE(nothing.found());
    EXPECT_FALSE(nothing.next());
}

// The walker deletes each entry while the listing of its directory is still open.
TEST(DirectorySearch, ListingGoesOnPastEntriesRemovedOnTheWay) {
    TempDir dir;
    const std::vector<std::string> names = {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"};
    for (const std::string& name : names) writeFile(dir / name, name);
    std::vector<std::string> seen;
    for (os::DirectorySearch search(dir / "*.txt"); search.found(); search.next()) {
        seen.push_back(search.entry().name);
        fs::remove(nativePath(dir / search.entry().name));
    }
    EXPECT_EQ(sorted(seen), names);
    EXPECT_TRUE(fs::is_empty(nativePath(dir.path())));
}

#ifndef _WIN32
// Links and the owner's write bit exist only in the emulation's mapping: creating links on
// Windows needs a privilege, and Wine reads any write bit as writable.
TEST(PosixAttributeWords, LinksAndWriteBits) {
    TempDir dir;
    fs::create_directory(nativePath(dir / "target"));
    writeFile(dir / "file", "x");
    writeFile(dir / "shared", "x");
    fs::create_directory_symlink("target", nativePath(dir / "dirlink"));
    fs::create_symlink("file", nativePath(dir / "filelink"));
    fs::create_symlink("gone", nativePath(dir / "dangling"));
    fs::create_symlink("file", nativePath(dir / ".dotlink"));
    fs::permissions(nativePath(dir / "shared"), fs::perms(0575));
    fs::permissions(nativePath(dir / "target"), fs::perms(0555));

    const std::map<std::string, uint32_t> expected = {
        {".", 0x10},         {"..", 0x10},        {".dotlink", 0x422}, {"dangling", 0x420}, {"dirlink", 0x410},
        {"file", 0x20},      {"filelink", 0x420}, {"shared", 0x21},    {"target", 0x11},
    };
    std::map<std::string, uint32_t> found;
    for (os::DirectorySearch search(dir / "*"); search.found(); search.next())
        found[search.entry().name] = search.entry().attributes;
    EXPECT_EQ(found, expected);
    for (const auto& [name, word] : expected) EXPECT_EQ(os::attributesOf(dir / name), word) << name;

    EXPECT_EQ(listed(dir / "dangling"), std::vector<std::string>{"dangling"});
    // With a separator the path names the directory the link leads to.
    EXPECT_EQ(os::attributesOf(dir / "dirlink\\"), 0x11u);
    EXPECT_EQ(os::attributesOf(dir / "filelink\\"), os::InvalidAttributes);
    // A listing through a link lists the target's contents; refusing that is the walker's call.
    EXPECT_EQ(sorted(listed(dir / "dirlink\\*")), (std::vector<std::string>{".", ".."}));
    fs::permissions(nativePath(dir / "target"), fs::perms(0755));
}
#endif

}  // namespace
