// The walker: its choice of pattern and root, the order of its visits, where it stops, and
// that it never goes through a link. The same cases run on the real search under Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include "commands/file/file_trees.h"
#include "commands/file/walker.h"

namespace {

using file_trees::Tree;

struct Recorder {
    std::string root;                 // stripped from every recorded path
    std::vector<std::string> visits;  // "kind path", in the order of the visits
    std::string stopAt;               // the visit that answers false
};

// Far more visits than any tree of these tests holds: a walk round a loop stops here.
constexpr size_t visitLimit = 100;

bool recordVisit(const Text& path, VisitKind kind, uint32_t, void* context) {
    auto& recorder = *static_cast<Recorder*>(context);
    static const char* const names[] = {"file", "enter", "leave", "link"};
    std::string p = path.str();
    if (p.compare(0, recorder.root.size(), recorder.root) == 0) p = "~" + p.substr(recorder.root.size());
    recorder.visits.push_back(std::string(names[static_cast<int>(kind)]) + " " + p);
    return recorder.visits.back() != recorder.stopAt && recorder.visits.size() < visitLimit;
}

struct Walk {
    bool result;
    std::vector<std::string> visits;
};

Walk walk(const TempDir& dir, const std::string& path, bool recursive, const std::string& stopAt = "") {
    Recorder recorder{dir.path(), {}, stopAt};
    const bool result = walkFiles(Text(path.c_str()), recordVisit, recursive, &recorder);
    return {result, recorder.visits};
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

TEST(Walker, TargetPathKeepsTheElementsBelowTheSkip) {
    struct Case {
        int skipCount;
        const char* path;
        const char* target;
    };
    const Case cases[] = {
        {2, "C:\\src\\sub\\b.txt", "D:\\dst\\sub\\b.txt"},
        {3, "C:\\src\\sub\\b.txt", "D:\\dst\\b.txt"},
        {4, "C:\\src\\sub\\b.txt", "D:\\dst\\"},
        {0, "C:\\src", "D:\\dst\\C:\\src"},
    };
    for (const Case& c : cases) {
        TransferContext context;
        context.skipCount = c.skipCount;
        context.targetRoot = "D:\\dst";
        EXPECT_EQ(targetPath(c.path, context).str(), c.target) << c.path;
    }
}

}  // namespace
