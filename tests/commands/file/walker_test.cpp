// The walker: its choice of pattern and root, the order of its visits, where it stops, and
// that it never goes through a link. The same cases run on the real search under Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include "commands/file/file_trees.h"
#include "commands/file/walker.h"

namespace {

using file_trees::Tree;

// Far more visits than any tree of these tests holds: a walk round a loop stops here.
constexpr size_t visitLimit = 100;

std::string relative(const TempDir& dir, std::string path) {
    if (path.compare(0, dir.path().size(), dir.path()) == 0) path = "~" + path.substr(dir.path().size());
    return path;
}

struct Walk {
    bool result;
    std::vector<std::string> visits;  // "kind path", in the order of the visits ("~" is the directory)
    std::string failedPath;           // likewise
};

// Every visit recorded; the visit `stopAt` fails with a made-up error.
Walk walk(const TempDir& dir, const std::string& path, bool recursive, const std::string& stopAt = "") {
    static const char* const names[] = {"file", "enter", "leave", "link"};
    Walk w{false, {}, {}};
    const os::Result result = walkFiles(
        Text(path.c_str()),
        [&](const Visit& visit) -> os::Result {
            w.visits.push_back(std::string(names[static_cast<int>(visit.kind)]) + " " + relative(dir, visit.path()));
            if (w.visits.back() != stopAt && w.visits.size() < visitLimit) return {};
            return os::Result::fail(os::Operation::Copy, visit.path(), 1);
        },
        recursive);
    w.result = result.ok();
    if (!result.ok()) w.failedPath = relative(dir, result.failure().path);
    return w;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(Walker, VisitsInTheOrderOfTheTree) {
    struct Case {
        const char* name;
        Tree tree;
        const char* path;  // below the temporary directory
        bool recursive;
        bool result;
        std::vector<std::string> visits;  // in order ("~" is the temporary directory)
    };
    const Case cases[] = {
        {"each directory before and after its contents",
         {{"src\\sub\\deeper\\f.txt", "f"}},
         "src",
         true,
         true,
         {"enter ~\\src\\sub", "enter ~\\src\\sub\\deeper", "file ~\\src\\sub\\deeper\\f.txt",
          "leave ~\\src\\sub\\deeper", "leave ~\\src\\sub"}},
        {"an empty directory lists only its dots", {{"src\\", ""}}, "src", true, true, {}},
        {"a pattern that matches nothing", {{"src\\a.txt", "a"}}, "src\\*.log", true, false, {}},
        {"a missing path", {}, "src", true, false, {}},
        {"a directory in a walk that does not descend is its own entry",
         {{"src\\a.txt", "a"}},
         "src",
         false,
         true,
         {"enter ~\\src", "leave ~\\src"}},
        {"a trailing separator is dropped from the root",
         {{"src\\a.txt", "a"}},
         "src\\",
         true,
         true,
         {"file ~\\src\\a.txt"}},
        {"a single file", {{"src\\a.txt", "a"}}, "src\\a.txt", true, true, {"file ~\\src\\a.txt"}},
        {"a matching directory is walked whole",
         {{"src\\x.log\\inner.txt", "i"}, {"src\\b.txt", "b"}},
         "src\\*.log",
         true,
         true,
         {"enter ~\\src\\x.log", "file ~\\src\\x.log\\inner.txt", "leave ~\\src\\x.log"}},
        {"a visitor stopping on entry keeps the walk out and the leave away",
         {{"src\\sub\\f.txt", "f"}},
         "src",
         true,
         false,
         {"enter ~\\src\\sub"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        file_trees::writeTree(dir.path(), c.tree);
        const std::string stopAt = c.result ? "" : "enter ~\\src\\sub";
        const Walk w = walk(dir, dir / c.path, c.recursive, stopAt);
        EXPECT_EQ(w.result, c.result) << c.name;
        EXPECT_EQ(w.visits, c.visits) << c.name;
    }
}

TEST(Walker, VisitsHiddenEntriesAndEveryLevel) {
    TempDir dir;
    file_trees::writeTree(dir.path(), {{"src\\.hidden", "h"}, {"src\\a\\x.txt", "x"}, {"src\\b\\", ""}});
    const Walk w = walk(dir, dir / "src", true);
    EXPECT_TRUE(w.result);
    EXPECT_EQ(sorted(w.visits), (std::vector<std::string>{"enter ~\\src\\a", "enter ~\\src\\b", "file ~\\src\\.hidden",
                                                          "file ~\\src\\a\\x.txt", "leave ~\\src\\a",
                                                          "leave ~\\src\\b"}));
}

// A failure inside a subdirectory ends the whole walk at once: nothing after it is visited,
// not even the subdirectory's own leave.
TEST(Walker, FailedDescentStopsTheParent) {
    TempDir dir;
    file_trees::writeTree(dir.path(), {{"src\\a\\x.txt", "x"}, {"src\\b\\y.txt", "y"}, {"src\\c.txt", "c"}});
    for (const char* failing : {"file ~\\src\\a\\x.txt", "file ~\\src\\b\\y.txt"}) {
        const Walk w = walk(dir, dir / "src", true, failing);
        EXPECT_FALSE(w.result) << failing;
        ASSERT_FALSE(w.visits.empty());
        EXPECT_EQ(w.visits.back(), failing);
        EXPECT_EQ("file " + w.failedPath, failing);
    }
}

TEST(Walker, NeverGoesThroughALink) {
    TempDir dir;
    file_trees::writeTree(dir.path(), {{"outside\\secret.txt", "s"}, {"src\\a.txt", "a"}});
    file_trees::Links links;
    MAKE_LINK_OR_SKIP(links, dir / "outside", dir / "src\\link");
    // A link back to its own tree would otherwise be walked until the path grew too long.
    MAKE_LINK_OR_SKIP(links, dir / "src", dir / "src\\loop");
    struct Case {
        const char* path;
        std::vector<std::string> visits;  // sorted
    };
    const Case cases[] = {
        {"src", {"file ~\\src\\a.txt", "link ~\\src\\link", "link ~\\src\\loop"}},
        {"src\\link", {"link ~\\src\\link"}},
        {"src\\link\\", {}},
        {"src\\l*", {"link ~\\src\\link", "link ~\\src\\loop"}},
    };
    for (const Case& c : cases) EXPECT_EQ(sorted(walk(dir, dir / c.path, true).visits), c.visits) << c.path;
}

}  // namespace
