// SWITCH: the branch taken, nested lists on the stack, failures going up, the depth limit.
#include <gtest/gtest.h>

#include "run/procedure.h"
#include "run/run_context.h"
#include "support/test_support.h"

namespace {

std::string say(const char* name, const char* text) {
    return std::string("[") + name + "]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=" + text + "\nISABORT=\n";
}

std::vector<std::string> run(const std::string& script, const char* proc, bool expected) {
    ScriptFixture fixture(script);
    BoxRecorder boxes;
    fixture.run().mainProcList.assign(proc);
    EXPECT_EQ(runMain(fixture.run()), expected);
    std::vector<std::string> out;
    for (const RecordedBox& b : boxes.boxes()) out.push_back(b.text);
    EXPECT_EQ(fixture.run().procedures.count(), expected ? 0 : fixture.run().procedures.count());
    return out;
}

const std::string askAndBranch =
    "[Ask]\nMODE=MSGBOX\nFLAG=\nTYPE=QUESTION\nTEXT=ask\nISABORT=\n"
    "[Branch]\nMODE=SWITCH\nPROC= ask \n0=No1\n1=Yes1, Yes2\n" +
    say("Yes1", "yes1") + say("Yes2", "yes2") + say("No1", "no1") + say("After", "after");

TEST(Switch, RunsTheChosenListThenContinues) {
    {
        ScriptFixture fixture(askAndBranch);
        BoxRecorder boxes({os::AnswerYes});
        fixture.run().mainProcList.assign("Ask,Branch,After");
        EXPECT_TRUE(runMain(fixture.run()));
        std::vector<std::string> texts;
        for (const auto& b : boxes.boxes()) texts.push_back(b.text);
        EXPECT_EQ(texts, (std::vector<std::string>{"ask", "yes1", "yes2", "after"}));
    }
    {
        ScriptFixture fixture(askAndBranch);
        BoxRecorder boxes({os::AnswerNo});
        fixture.run().mainProcList.assign("Ask,Branch,After");
        EXPECT_TRUE(runMain(fixture.run()));
        std::vector<std::string> texts;
        for (const auto& b : boxes.boxes()) texts.push_back(b.text);
        EXPECT_EQ(texts, (std::vector<std::string>{"ask", "no1", "after"}));
    }
}

TEST(Switch, EmptyBranchRunsNothingAndLaterFlagsAreFalse) {
    const std::string script = "[Branch]\nMODE=SWITCH\nPROC=Later\n0=\n1=Yes1\n" + say("Yes1", "yes1") +
                               say("Later", "later");
    EXPECT_EQ(run(script, "Branch,Later", true), std::vector<std::string>{"later"});
}

TEST(Switch, NestedFailureStopsTheOuterList) {
    const std::string script = "[Branch]\nMODE=SWITCH\nPROC=Branch\n0=Yes1,Broken\n1=\n" + say("Yes1", "yes1") +
                               say("After", "after") + "[Broken]\nMODE=MSGBOX\nFLAG=\nTYPE=BAD\nTEXT=x\nISABORT=\n";
    EXPECT_EQ(run(script, "Branch,After", false),
              (std::vector<std::string>{"yes1", "シンボルが正しくありません。\n\nシンボル：\"BAD\""}));
}

TEST(Switch, NestedListSeesOnlyItsOwnCommands) {
    const std::string script = say("Outer", "outer") + "[Branch]\nMODE=SWITCH\nPROC=Outer\n0=\n1=Inner\n" +
                               "[Inner]\nMODE=MSGBOX\nFLAG=Outer,1\nTYPE=INFORMATION\nTEXT=inner\nISABORT=\n";
    EXPECT_EQ(run(script, "Outer,Branch", false),
              (std::vector<std::string>{"outer", "シンボルが正しくありません。\n\nシンボル：\"Outer,1\""}));
}

TEST(Switch, UnknownProcIsReportedAsWritten) {
    const std::string script = "[Branch]\nMODE=SWITCH\nPROC=\" Missing \"\n0=\n1=\n";
    EXPECT_EQ(run(script, "Branch", false),
              std::vector<std::string>{"シンボルが正しくありません。\n\nシンボル：\" Missing \""});
}

TEST(Switch, ListLeadingBackToItselfStopsAtTheDepthLimit) {
    const std::string script = "[Loop]\nMODE=SWITCH\nPROC=Loop\n0=Loop\n1=\n" + say("After", "after");
    EXPECT_EQ(run(script, "Loop,After", false), std::vector<std::string>{"プロシージャ数が正しくありません。"});
}

}  // namespace
