// MSGBOX: styles, the FLAG condition, "%n"/"%t", the answer in the result flag, ISABORT.
#include <gtest/gtest.h>

#include "run/msgbox_command.h"
#include "run/procedure.h"
#include "run/run_context.h"
#include "support/test_support.h"

namespace {

std::string box(const char* name, const char* flag, const char* type, const char* text, const char* isAbort) {
    return std::string("[") + name + "]\nMODE=MSGBOX\nFLAG=" + flag + "\nTYPE=" + type + "\nTEXT=" + text +
           "\nISABORT=" + isAbort + "\n";
}

TEST(MsgBox, TypesSelectTheirStyles) {
    struct Case {
        const char* type;
        unsigned style;
    };
    const Case cases[] = {{"ERROR", 0x10}, {"information", 0x40}, {"Warning", 0x134}, {"QUESTION", 0x24},
                          {"QUESTION ", 0}, {"", 0}, {"NOTE", 0}};
    for (const Case& c : cases) EXPECT_EQ(msgBoxStyle(Text(c.type)), c.style) << c.type;
}

TEST(MsgBox, AnswersSetTheFlagAndIsAbortStops) {
    struct Case {
        const char* type;
        const char* isAbort;
        int answer;
        bool continues;
        bool flag;
    };
    const Case cases[] = {
        {"QUESTION", "0,1", os::AnswerYes, true, true},   {"QUESTION", "0,1", os::AnswerNo, false, false},
        {"WARNING", "1,0", os::AnswerYes, false, true},   {"WARNING", "", os::AnswerNo, true, false},
        {"INFORMATION", "1,0", os::AnswerOk, false, true}, {"ERROR", "0", os::AnswerOk, true, true},
        {"QUESTION", "x,2", os::AnswerNo, false, false},  {"QUESTION", "1,1", os::AnswerNone, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.isAbort << " " << c.answer);
        ScriptFixture script("[UPDATER]\nNAME=\nPROC=Ask\n" + box("Ask", "", c.type, "Go?", c.isAbort));
        BoxRecorder boxes({c.answer});
        script.run().mainProcList.assign("Ask");
        ASSERT_NE(loadProcedure(script.run(), script.run().mainProcList, 1), nullptr);
        Command& ask = *(*script.run().procedures.top())[0];
        EXPECT_EQ(executeMsgBoxCommand(script.run(), ask), c.continues);
        EXPECT_EQ(ask.result, c.flag);
        ASSERT_EQ(boxes.boxes().size(), 1u);
    }
}

TEST(MsgBox, TextEscapesBecomeLineBreaksAndTabs) {
    ScriptFixture script("[UPDATER]\nNAME=\nPROC=Say\n" + box("Say", "", "INFORMATION", "Line one%nLine two%tend %N", ""));
    BoxRecorder boxes;
    script.run().mainProcList.assign("Say");
    EXPECT_TRUE(runMain(script.run()));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Line one\nLine two\tend %N");
    EXPECT_EQ(boxes.boxes()[0].style, 0x40u);
}

TEST(MsgBox, FlagDecidesWhetherTheBoxShows) {
    struct Case {
        const char* flag;
        bool firstAnsweredYes;
        bool shown;
    };
    const Case cases[] = {
        {"First,1", true, true},  {"First,1", false, false}, {"first , 0", false, true},
        {"First,0", true, false}, {"Later,0", true, true},    {"Later,1", true, false},
        {"First", false, true},   {"", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flag);
        ScriptFixture script("[UPDATER]\nNAME=\nPROC=First,Check,Later\n" + box("First", "", "QUESTION", "first", "") +
                             box("Check", c.flag, "INFORMATION", "check", "") + box("Later", "", "ERROR", "later", ""));
        BoxRecorder boxes({c.firstAnsweredYes ? os::AnswerYes : os::AnswerNo});
        script.run().mainProcList.assign("First,Check,Later");
        EXPECT_TRUE(runMain(script.run()));
        const bool shown = boxes.boxes().size() == 3 && boxes.boxes()[1].text == "check";
        EXPECT_EQ(shown, c.shown);
    }
}

TEST(MsgBox, FlagNamingNoCommandStopsWithItsValue) {
    ScriptFixture script("[UPDATER]\nNAME=\nPROC=Check,After\n" + box("Check", "\" Nowhere ,1\"", "INFORMATION", "x", "") +
                         box("After", "", "INFORMATION", "after", ""));
    BoxRecorder boxes;
    script.run().mainProcList.assign("Check,After");
    EXPECT_FALSE(runMain(script.run()));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "シンボルが正しくありません。\n\nシンボル：\" Nowhere ,1\"");
}

}  // namespace
