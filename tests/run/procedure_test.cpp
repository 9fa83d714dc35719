// Loading is all or nothing, running stops at the first failure, lookups see only the
// top procedure, and the stack frees from the top down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/list_items.h"
#include "run/msgbox_command.h"
#include "run/procedure.h"
#include "run/run_context.h"
#include "support/test_support.h"

namespace {

std::vector<std::string> texts(const BoxRecorder& boxes) {
    std::vector<std::string> out;
    for (const RecordedBox& b : boxes.boxes()) out.push_back(b.text);
    return out;
}

const char* const threeBoxes =
    "[UPDATER]\nNAME=\nPROC=One, Two ,Three\n"
    "[One]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=one\nISABORT=\n"
    "[Two]\nMODE=msgbox\nFLAG=\nTYPE=INFORMATION\nTEXT=two\nISABORT=\n";

TEST(LoadProcedure, IsAllOrNothing) {
    struct Case {
        const char* name;
        std::string third;
        std::string expectedMessage;
    };
    const Case cases[] = {
        {"missing key", "[Three]\nMODE=MSGBOX\nFLAG=\nTYPE=ERROR\nTEXT=x\n",
         "設定ファイルのフォーマットが正しくありません。\n\nセクション：\"Three\"\nパラメータ：\"ISABORT\""},
        {"missing section", "",
         "設定ファイルのフォーマットが正しくありません。\n\nセクション：\"Three\"\nパラメータ：\"MODE\""},
        {"unknown kind", "[Three]\nMODE=REBOOT\n", "シンボルが正しくありません。\n\nシンボル：\"REBOOT\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptFixture script(std::string(threeBoxes) + c.third);
        BoxRecorder boxes;
        script.run().mainProcList.assign("One, Two ,Three");
        EXPECT_FALSE(runMain(script.run()));
        EXPECT_EQ(texts(boxes), std::vector<std::string>{c.expectedMessage});
        EXPECT_EQ(script.run().procedures.count(), 0);
    }
}

TEST(LoadProcedure, EmptyElementIsAMissingSection) {
    ScriptFixture script(threeBoxes);
    BoxRecorder boxes;
    script.run().mainProcList.assign("One,,Two");
    EXPECT_FALSE(runMain(script.run()));
    EXPECT_EQ(texts(boxes), std::vector<std::string>{
                                "設定ファイルのフォーマットが正しくありません。\n\nセクション：\"\"\nパラメータ：\"MODE\""});
}

TEST(RunMain, RunsInOrderAndFreesTheMainProcedure) {
    ScriptFixture script(std::string(threeBoxes) + "[Three]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=three\nISABORT=\n");
    BoxRecorder boxes;
    script.run().mainProcList.assign("One, Two ,Three");
    EXPECT_TRUE(runMain(script.run()));
    EXPECT_EQ(texts(boxes), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(script.run().procedures.count(), 0);
}

TEST(RunMain, EmptyProcIsReported) {
    ScriptFixture script(threeBoxes);
    BoxRecorder boxes;
    script.run().mainProcList.assign("");
    EXPECT_FALSE(runMain(script.run()));
    EXPECT_EQ(texts(boxes), std::vector<std::string>{
                                "設定パラメータのアイテム数が正しくありません。\n\nセクション：\"UPDATER\"\nパラメータ：\"PROC\""});
}

TEST(RunProcedure, StopsAtTheFirstFailure) {
    ScriptFixture script(std::string(threeBoxes) + "[Three]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=three\nISABORT=\n" +
                         "[Bad]\nMODE=MSGBOX\nFLAG=\nTYPE=NOTICE\nTEXT=bad\nISABORT=\n");
    BoxRecorder boxes;
    script.run().mainProcList.assign("One,Bad,Three");
    EXPECT_FALSE(runMain(script.run()));
    EXPECT_EQ(texts(boxes), (std::vector<std::string>{"one", "シンボルが正しくありません。\n\nシンボル：\"NOTICE\""}));
    // The failed procedure stays until the end of the program.
    EXPECT_EQ(script.run().procedures.count(), 1);
    script.run().procedures.freeAll();
    EXPECT_EQ(script.run().procedures.count(), 0);
}

// A record that notes when it is destroyed, to see the order of freeing.
struct TracedCommand : Command {
    std::vector<std::string>* log;
    ~TracedCommand() override { log->push_back(section.str()); }
};

std::unique_ptr<Procedure> tracedProcedure(std::vector<std::string>& log, std::initializer_list<const char*> names) {
    auto procedure = std::make_unique<Procedure>();
    for (const char* name : names) {
        auto record = std::make_unique<TracedCommand>();
        record->section.assign(name);
        record->log = &log;
        procedure->push_back(std::move(record));
    }
    return procedure;
}

TEST(ProcedureStack, FreesFromTheTopDown) {
    std::vector<std::string> log;
    ProcedureStack stack;
    ASSERT_TRUE(stack.push(tracedProcedure(log, {"outer1", "outer2"})));
    ASSERT_TRUE(stack.push(tracedProcedure(log, {"inner"})));
    EXPECT_FALSE(stack.push(nullptr));
    EXPECT_EQ(stack.count(), 2);
    stack.freeAll();
    EXPECT_EQ(log, (std::vector<std::string>{"inner", "outer1", "outer2"}));
    EXPECT_EQ(stack.count(), 0);
}

TEST(ProcedureStack, FindCommandSearchesOnlyTheGivenProcedure) {
    std::vector<std::string> log;
    ProcedureStack stack;
    stack.push(tracedProcedure(log, {"Check", "Copy"}));
    stack.push(tracedProcedure(log, {"Nested", "check"}));
    Procedure* outer = stack.at(0);
    Procedure* top = stack.top();
    ASSERT_NE(outer, top);
    EXPECT_EQ(findCommand(top, Text("CHECK")), (*top)[1].get());
    EXPECT_EQ(findCommand(top, Text("Copy")), nullptr);
    EXPECT_EQ(findCommand(outer, Text("copy")), (*outer)[1].get());
    EXPECT_EQ(findCommand(nullptr, Text("Copy")), nullptr);
    EXPECT_EQ(findCommand(top, Text("check ")), nullptr);
    EXPECT_EQ(stack.free(top), 1);
    EXPECT_EQ(stack.top(), outer);
    EXPECT_EQ(stack.remove(top), 1);  // no longer on the stack: nothing changes
    stack.freeAll();
}

TEST(LoadProcedure, ZeroCountIsRefused) {
    BoxRecorder boxes;
    RunContext run;
    EXPECT_EQ(loadProcedure(run, Text(""), 0), nullptr);
    EXPECT_EQ(texts(boxes), std::vector<std::string>{"プロシージャ数が正しくありません。"});
}

// Procedures are split once; each item must be the one the item-by-item reading gives.
TEST(ItemList, SplitOnceGivesEachItemAsReadAlone) {
    const std::string withNul = std::string("a,b") + '\0' + ",c";
    for (const std::string& value : {std::string(""), std::string(","), std::string(" a , b ,"),
                                     std::string("\tx\t,  ,y"), std::string("one"), withNul}) {
        const Text list(value);
        const ItemList items(list);
        ASSERT_EQ(items.count(), itemCount(list)) << value;
        for (int i = 0; i <= itemCount(list); ++i) EXPECT_EQ(items[i].str(), listItem(list, i).str()) << value << " " << i;
    }
}

}  // namespace
