// COPY from whole scripts, for what the end-to-end scenarios leave out: what a failure leaves
// behind, and the result flag. (Where each kind of source lands is in file_commands.json.)
#include <gtest/gtest.h>

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

}  // namespace
