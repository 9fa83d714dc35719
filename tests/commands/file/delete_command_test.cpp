// DELETE from whole scripts, for what the end-to-end scenarios (file_commands.json) leave
// out: items that name nothing, and what a read-only file leaves behind.
#include <gtest/gtest.h>

#include "commands/file/file_trees.h"

namespace {

using file_trees::Outcome;
using file_trees::Tree;

std::string remove(const std::string& items) { return file_trees::section("Step", "DELETE", {{"FILE", items}}); }

const Tree tree = {{"dir\\a.txt", "a"}, {"dir\\keep.txt", "k"}, {"dir\\sub\\deep\\", ""}, {"top.txt", "t"}};

TEST(Delete, ItemsThatNameNothingCountAsDeleted) {
    const std::string items[] = {"<Src>\\none.txt", "<Src>\\dir\\*.none", "<Src>\\dir\\", " <Src>\\none\\x "};
    for (const std::string& item : items) EXPECT_EQ(file_trees::runIn(tree, remove(item)), (Outcome{true, {}, tree})) << item;
}

// Which entries the walk reached before the read-only file is the system's listing order;
// the earlier item stays deleted, and the file stays, whatever that order.
TEST(Delete, AReadOnlyFileIsNamedByItsItem) {
    const Outcome outcome = file_trees::runIn(tree, remove("<Src>\\top.txt,<Src>\\dir"), {"dir\\keep.txt"});
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.boxes, file_trees::message(MessageId::DeleteFailed, {"<Src>\\dir"}));
    EXPECT_EQ(outcome.after.count("top.txt"), 0u);
    EXPECT_EQ(outcome.after.count("dir\\keep.txt"), 1u);
}

}  // namespace
