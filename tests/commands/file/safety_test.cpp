// Where the file commands are safer than their plain rules: links never followed, no copy
// into its own source, no pair without a destination, no half-written file, directories
// written with a trailing separator. Each case here fails without its mend.
#include <gtest/gtest.h>

#include "commands/file/file_trees.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

using file_trees::Outcome;
using file_trees::Tree;

std::string step(const char* mode, const std::string& from, const std::string& to) {
    return file_trees::section("Step", mode, {{"FROM", from}, {"TO", to}});
}

std::string removal(const std::string& items) { return file_trees::section("Step", "DELETE", {{"FILE", items}}); }

const Tree outside = {{"x.txt", "x"}, {"inner\\y.txt", "y"}};

// A tree holding a link to a directory outside it. (A link back into its own tree is the
// walker's test: without the mend it would run for hours, not fail.)
struct LinkedTree {
    ScriptFixture fixture;
    file_trees::Links links;
    explicit LinkedTree(const std::string& script) : fixture(script) {
        file_trees::writeTree(fixture.path("outside"), outside);
        file_trees::writeTree(fixture.path("src"), {{"a.txt", "a"}});
    }
    bool link() {
        return links.make(fixture.path("outside"), fixture.path("src\\out"));
    }
    bool present(const char* relative) const {
        return os::attributesOf(fixture.path(relative)) != os::InvalidAttributes;
    }
    bool isLink(const char* relative) const {
        const uint32_t attributes = os::attributesOf(fixture.path(relative));
        return attributes != os::InvalidAttributes && (attributes & os::AttributeReparsePoint);
    }
};

// Natively a link is carried over or removed as itself. Wine follows links in every call
// that could do so, and the operations refuse instead: the command stops with its message.
#ifdef _WIN32
constexpr bool linksHandledThemselves = false;
#else
constexpr bool linksHandledThemselves = true;
#endif

TEST(Links, AreNeverFollowedOutOfTheTree) {
    struct Case {
        const char* name;
        std::string script;
        MessageId failure;  // with the item and the destination, where links cannot be handled
        const char* item;
        const char* to;
        std::vector<const char*> linksAfter;  // when links are handled themselves
        std::vector<const char*> presentAfter;
        std::vector<const char*> goneAfter;
    };
    const Case cases[] = {
        {"DELETE of a tree", removal("<Src>\\src"), MessageId::DeleteFailed, "<Src>\\src", nullptr, {}, {}, {"src"}},
        {"DELETE of the link itself", removal("<Src>\\src\\out"), MessageId::DeleteFailed, "<Src>\\src\\out", nullptr, {},
         {"src\\a.txt"}, {"src\\out"}},
        {"DELETE of a pattern", removal("<Src>\\src\\*"), MessageId::DeleteFailed, "<Src>\\src\\*", nullptr, {}, {"src"},
         {"src\\out", "src\\a.txt"}},
        {"COPY of a tree", step("COPY", "<Src>\\src", "<Src>\\dst"), MessageId::CopyFailed, "<Src>\\src", "<Src>\\dst",
         {"dst\\out", "src\\out"}, {"dst\\a.txt"}, {}},
        {"MOVE of a tree into an existing one", step("MOVE", "<Src>\\src", "<Src>\\dst"), MessageId::MoveFailed, "<Src>\\src",
         "<Src>\\dst", {"dst\\out"}, {"dst\\a.txt"}, {"src"}},
        {"MOVE of the link itself", step("MOVE", "<Src>\\src\\out", "<Src>\\moved"), MessageId::MoveFailed, "<Src>\\src\\out",
         "<Src>\\moved", {"moved"}, {}, {"src\\out"}},
    };
    for (const Case& c : cases) {
        LinkedTree tree(c.script);
        if (!tree.link()) GTEST_SKIP() << "no directory links on this system";
        file_trees::writeTree(tree.fixture.path("dst"), {{"keep.txt", "k"}});
        const file_trees::Run run = file_trees::runScript(tree.fixture, "Step");
        EXPECT_EQ(file_trees::readTree(tree.fixture.path("outside")), outside) << c.name;
        if (linksHandledThemselves) {
            EXPECT_TRUE(run.completed) << c.name;
            for (const char* path : c.linksAfter) EXPECT_TRUE(tree.isLink(path)) << c.name << ": " << path;
            for (const char* path : c.presentAfter) EXPECT_TRUE(tree.present(path)) << c.name << ": " << path;
            for (const char* path : c.goneAfter) EXPECT_FALSE(tree.present(path)) << c.name << ": " << path;
        } else {
            const std::vector<std::string> expected =
                c.to ? file_trees::message(c.failure, {c.item, c.to}) : file_trees::message(c.failure, {c.item});
            EXPECT_FALSE(run.completed) << c.name;
            EXPECT_EQ(file_trees::asScriptWrites(run.boxes, tree.fixture.dir().path()), expected) << c.name;
            EXPECT_TRUE(tree.isLink("src\\out")) << c.name;
        }
    }
}

#ifndef _WIN32
// Links to files: Wine shows them as the files they lead to, so only the emulation has them.
TEST(Links, ToFilesAreCopiedRemovedAndPassedOverThemselves) {
    struct Case {
        const char* name;
        std::string script;
        Tree after;  // of the test directory
    };
    const Tree target = {{"target.txt", "t"}};
    const Case cases[] = {
        {"COPY", step("COPY", "<Src>\\src", "<Src>\\dst"),
         {{"target.txt", "t"}, {"src\\link", "-> ..\\target.txt"}, {"dst\\link", "-> ..\\target.txt"}}},
        {"DELETE", removal("<Src>\\src\\link"), {{"target.txt", "t"}, {"src\\", ""}}},
        {"ATTR", file_trees::section("Step", "ATTR", {{"FILE", "<Src>\\src\\*"}, {"ARG", "0x1"}}),
         {{"target.txt", "t"}, {"src\\link", "-> ..\\target.txt"}}},
    };
    for (const Case& c : cases) {
        ScriptFixture fixture(c.script);
        file_trees::writeTree(fixture.dir().path(), {{"target.txt", "t"}, {"src\\", ""}});
        file_trees::fs::create_symlink("../target.txt", nativePath(fixture.path("src\\link")));
        EXPECT_TRUE(file_trees::runScript(fixture, "Step").completed) << c.name;
        Tree after = file_trees::readTree(fixture.dir().path());
        after.erase("patch.ini");
        EXPECT_EQ(after, c.after) << c.name;
        EXPECT_FALSE(file_trees::readOnly(fixture.path("target.txt"))) << c.name;
    }
}
#endif

const Tree source = {{"src\\a.txt", "a"}, {"src\\sub\\b.txt", "b"}, {"srcx.txt", "x"}};

Tree with(Tree tree, const Tree& more) {
    for (const auto& [path, contents] : more) tree[path] = contents;
    return tree;
}

TEST(DestinationInsideSource, IsRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* mode;
        const char* from;
        const char* to;
        bool refused;
        Tree after;  // when not refused
    };
    const Case cases[] = {
        {"COPY", "<Src>\\src", "<Src>\\src\\sub\\deeper\\new", true, {}},
        {"COPY", "<Src>\\src", "<Src>\\src", true, {}},
        {"COPY", "<Src>\\*", "<Src>\\src\\new\\x", true, {}},
        {"MOVE", "<Src>\\src", "<Src>\\src", true, {}},
        {"MOVE", "<Src>\\src\\", "<Src>\\src\\sub", true, {}},
        {"MOVE", "<Src>\\s*", "<Src>\\src\\x", true, {}},
        // Beside the tree, or matched by nothing that is walked: not inside.
        {"COPY", "<Src>\\src", "<Src>\\srcx", false,
         with(source, {{"srcx\\a.txt", "a"}, {"srcx\\sub\\b.txt", "b"}})},
        {"COPY", "<Src>\\src\\*.txt", "<Src>\\src\\sub\\x", false, with(source, {{"src\\sub\\a.txt", "a"}})},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.mode) + " " + c.from + " to " + c.to;
        const Outcome outcome = file_trees::runIn(source, step(c.mode, c.from, c.to));
        const MessageId failure = std::string(c.mode) == "COPY" ? MessageId::CopyFailed : MessageId::MoveFailed;
        const Outcome expected = c.refused ? Outcome{false, file_trees::message(failure, {c.from, c.to}), source}
                                           : Outcome{true, {}, c.after};
        EXPECT_EQ(outcome, expected) << name;
    }
}

TEST(DestinationInsideSource, IsFoundThroughALink) {
    ScriptFixture fixture(step("COPY", "<Src>\\src", "<Src>\\alias\\sub\\x"));
    file_trees::writeTree(fixture.dir().path(), source);
    file_trees::Links links;
    MAKE_LINK_OR_SKIP(links, fixture.path("src"), fixture.path("alias"));
    const file_trees::Run run = file_trees::runScript(fixture, "Step");
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(file_trees::readTree(fixture.path("src")), (Tree{{"a.txt", "a"}, {"sub\\b.txt", "b"}}));
}

TEST(MissingDestination, IsRefusedWithThePair) {
    for (const char* mode : {"COPY", "MOVE"}) {
        const MessageId failure = std::string(mode) == "COPY" ? MessageId::CopyFailed : MessageId::MoveFailed;
        const Outcome outcome =
            file_trees::runIn({{"a.txt", "a"}, {"src\\b.txt", "b"}}, step(mode, "<Src>\\a.txt,<Src>\\src", "<Src>\\d\\a.txt"));
        const Tree first = std::string(mode) == "COPY" ? Tree{{"a.txt", "a"}, {"d\\a.txt", "a"}, {"src\\b.txt", "b"}}
                                                        : Tree{{"d\\a.txt", "a"}, {"src\\b.txt", "b"}};
        EXPECT_EQ(outcome, (Outcome{false, file_trees::message(failure, {"<Src>\\src", ""}), first})) << mode;
    }
}

TEST(TrailingSeparators, NameTheDirectory) {
    const Tree tree = {{"src\\a.txt", "a"}, {"src\\sub\\b.txt", "b"}};
    struct Case {
        const char* mode;
        const char* from;
        const char* to;
        Tree after;
    };
    const Case cases[] = {
        {"COPY", "<Src>\\src\\", "<Src>\\dst\\", with(tree, {{"dst\\a.txt", "a"}, {"dst\\sub\\b.txt", "b"}})},
        {"COPY", "<Src>\\src\\\\", "<Src>\\dst", with(tree, {{"dst\\a.txt", "a"}, {"dst\\sub\\b.txt", "b"}})},
        {"MOVE", "<Src>\\src\\", "<Src>\\dst\\", {{"dst\\a.txt", "a"}, {"dst\\sub\\b.txt", "b"}}},
        {"MOVE", "<Src>\\src\\", "<Src>\\old\\", {{"old\\a.txt", "a"}, {"old\\sub\\b.txt", "b"}, {"old\\c", "c"}}},
    };
    for (const Case& c : cases) {
        const Outcome outcome = file_trees::runIn(with(tree, {{"old\\c", "c"}}), step(c.mode, c.from, c.to));
        Tree expected = c.after;
        if (!expected.count("old\\c")) expected["old\\c"] = "c";
        EXPECT_EQ(outcome, (Outcome{true, {}, expected})) << c.mode << " " << c.from << " to " << c.to;
    }
}

#ifndef _WIN32
// A file-size limit makes every write past it fail, as a full disk would.
class WriteLimit {
public:
    explicit WriteLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~WriteLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};
#endif

TEST(HalfWrittenFiles, NeverReplaceTheOldOnes) {
#ifdef _WIN32
    GTEST_SKIP() << "a write that fails part-way is made with a file-size limit, which the Windows build cannot set";
#else
    const std::string big(1 << 20, 'n');
    const Tree before = {{"new\\a.txt", big}, {"new\\b.txt", big}, {"old\\a.txt", "old"}};
    struct Case {
        const char* mode;
        const char* from;
        const char* to;
    };
    const Case cases[] = {
        {"COPY", "<Src>\\new\\a.txt", "<Src>\\old\\a.txt"},
        {"COPY", "<Src>\\new\\b.txt", "<Src>\\old\\b.txt"},
        {"COPY", "<Src>\\new", "<Src>\\old"},
    };
    for (const Case& c : cases) {
        ScriptFixture fixture(step(c.mode, c.from, c.to));
        file_trees::writeTree(fixture.dir().path(), before);
        file_trees::Run run;
        {
            WriteLimit limit(64 * 1024);
            run = file_trees::runScript(fixture, "Step");
        }
        EXPECT_FALSE(run.completed) << c.from;
        EXPECT_EQ(file_trees::readTree(fixture.path("old")), (Tree{{"a.txt", "old"}})) << c.from;
    }
#endif
}

}  // namespace
