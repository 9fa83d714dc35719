// COPY from whole scripts, for what the end-to-end scenarios leave out: what a failure leaves
// behind, and the result flag. (Where each kind of source lands is in file_commands.json.)
#include <gtest/gtest.h>

#include <optional>

#include "os/fault_injection.h"

#include <cerrno>

#include "commands/file/copy_command.h"
#include "commands/file/file_trees.h"

namespace {

using file_trees::Outcome;
using file_trees::Tree;

std::string copy(const std::string& from, const std::string& to) {
    return file_trees::section("Step", "COPY", {{"FROM", from}, {"TO", to}});
}

std::vector<std::string> failed(const char* from, const char* to) {
    return file_trees::message(MessageId::CopyFailed, {from, to});
}

TEST(Copy, LeavesWhatWasThereWhenItFails) {
    struct Case {
        const char* name;
        Tree before;
        std::string script;
        Outcome expected;
        std::vector<std::string> readOnly = {};
    };
    const Case cases[] = {
        {"a missing source after the levels are made",
         {},
         copy("<Src>\\none.txt", "<Src>\\x\\none.txt"),
         {false, failed("<Src>\\none.txt", "<Src>\\x\\none.txt"), {{"x\\", ""}}}},
        {"a read-only target",
         {{"a.txt", "new"}, {"dst\\a.txt", "old"}},
         copy("<Src>\\a.txt", "<Src>\\dst\\a.txt"),
         {false, failed("<Src>\\a.txt", "<Src>\\dst\\a.txt"), {{"a.txt", "new"}, {"dst\\a.txt", "old"}}},
         {"dst\\a.txt"}},
        {"a directory where the file should go",
         {{"a.txt", "a"}, {"dst\\a.txt\\", ""}},
         copy("<Src>\\a.txt", "<Src>\\dst\\a.txt"),
         {false, failed("<Src>\\a.txt", "<Src>\\dst\\a.txt"), {{"a.txt", "a"}, {"dst\\a.txt\\", ""}}}},
        {"a read-only file deep in a directory source stops the walk there",
         {{"src\\sub\\a.txt", "new"}, {"dst\\sub\\a.txt", "old"}},
         copy("<Src>\\src", "<Src>\\dst"),
         {false, failed("<Src>\\src", "<Src>\\dst"), {{"src\\sub\\a.txt", "new"}, {"dst\\sub\\a.txt", "old"}}},
         {"dst\\sub\\a.txt"}},
    };
    for (const Case& c : cases) EXPECT_EQ(file_trees::runIn(c.before, c.script, c.readOnly), c.expected) << c.name;
}

TEST(Copy, SetsTheResultFlagWhenEveryPairWasCopied) {
    const std::string script = copy("<Src>\\a.txt", "<Src>\\b.txt") +
                               file_trees::section("Check", "MSGBOX", {{"FLAG", "Step,1"}, {"TYPE", "INFORMATION"},
                                                                       {"TEXT", "copied"}, {"ISABORT", ""}});
    const Outcome outcome = file_trees::runIn({{"a.txt", "a"}}, script, {}, "Step,Check");
    EXPECT_EQ(outcome.boxes, std::vector<std::string>{"copied"});
}

// The failure a box is made from names the deepest path that failed and the system's own
// error, not only the pair the script named.
TEST(Copy, AFailureNamesTheFileDeepInTheTreeAndTheSystemsError) {
    ScriptFixture fixture("");
    file_trees::writeTree(fixture.dir().path(), {{"src\\a\\b\\c\\file.txt", "new"}, {"src\\a\\a.txt", "1"},
                                                 {"dst\\a\\b\\c\\file.txt\\", ""}});
    const auto path = [&](const char* relative) { return Text(fixture.path(relative).c_str()); };
    const os::Result copied = copyItem(fixture.run(), path("src"), path("dst"));
    ASSERT_FALSE(copied.ok());
    EXPECT_EQ(copied.failure().path, fixture.path("dst\\a\\b\\c\\file.txt"));
    EXPECT_EQ(copied.failure().operation, os::Operation::Replace);
    EXPECT_FALSE(os::isOwnRefusal(copied.error()));
    EXPECT_FALSE(os::describeError(copied.error()).empty());
    // What came before it in the walk was copied.
    EXPECT_EQ(readFile(fixture.path("dst\\a\\a.txt")), "1");

    const os::Result missing = copyItem(fixture.run(), path("none.txt"), path("dst\\none.txt"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.failure().path, fixture.path("none.txt"));
    EXPECT_TRUE(os::isNotFound(missing.error()));
}

// Below its message, the box of a failed copy says which file failed, where the message does
// not name it, and the system's reason, in the system's words and with its number.
TEST(Copy, TheBoxGivesTheReasonOfEachKindOfFailure) {
#ifdef _WIN32
    constexpr os::ErrorCode missing = 2, denied = 5, directory = 5, full = 112;  // not found, access denied, disk full
    constexpr const char* dataWrite = "WriteFile";
#else
    constexpr os::ErrorCode missing = ENOENT, denied = EACCES, directory = EISDIR, full = ENOSPC;
    constexpr const char* dataWrite = "copy_file_range";
#endif
    struct Case {
        const char* name;
        Tree before;
        std::vector<std::string> readOnly;
        const char* failedFile;  // below the test directory; none when the message names it
        os::ErrorCode error;
        const char* failingCall = nullptr;  // its first call fails with a full disk
    };
    const Case cases[] = {
        {"a missing source", {}, {}, nullptr, missing},
        {"access denied: a read-only file in the way", {{"src\\a.txt", "a"}, {"dst\\a.txt", "old"}},
         {"dst\\a.txt"}, "dst\\a.txt", denied},
        {"a directory in the way", {{"src\\a.txt", "a"}, {"dst\\a.txt\\", ""}}, {}, "dst\\a.txt", directory},
        // The replacement is written under a name of the updater's own: the file that failed
        // is the one it was for.
        {"a full disk while the replacement is written", {{"src\\a.txt", "a"}, {"dst\\a.txt", "old"}}, {},
         "dst\\a.txt", full, dataWrite},
    };
    for (const Case& c : cases) {
        ScriptFixture fixture(copy("<Src>\\src", "<Src>\\dst"));
        file_trees::writeTree(fixture.dir().path(), c.before);
        for (const std::string& path : c.readOnly) file_trees::makeReadOnly(fixture.path(path));
        bool failed = false;
        if (c.failingCall)
            os::faults::setInjector([&](const char* call) -> std::optional<os::faults::Fault> {
                if (failed || std::string(call) != c.failingCall) return std::nullopt;
                failed = true;
                return os::faults::Fault::DiskFull;
            });
        const file_trees::Run run = file_trees::runScript(fixture, "Step");
        os::faults::setInjector({});
        if (c.failingCall) {
            EXPECT_EQ(readFile(fixture.path("dst\\a.txt")), "old") << c.name;
        }
        ASSERT_EQ(run.details.size(), 1u) << c.name;
        const std::string reason =
            formatMessage(MessageId::FailureReason, {os::describeError(c.error) + " (" + std::to_string(c.error) + ")"});
        const std::string expected =
            c.failedFile ? formatMessage(MessageId::FailedPath, {fixture.path(c.failedFile)}) + "\n" + reason : reason;
        EXPECT_EQ(run.details[0], expected) << c.name;
    }
}

}  // namespace
