// Progress: drawn only after a command has run for a second, at most ten times a second, gone
// while a box is shown and when the command ends; what its lines say; and, through a run,
// the files the commands are at.
#include "run/progress.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "helpers/recording_progress_view.h"
#include "helpers/script_run.h"
#include "run/messages.h"
#include "run/run_context.h"

namespace {

// A progress drawn on a recording view, on a clock the test sets.
struct Recorded {
    Drawings drawings;
    uint64_t now = 0;
    Progress progress;
    explicit Recorded(bool kept = false) {
        progress.start(std::make_unique<RecordingView>(drawings, kept), [this] { return now; });
    }
};

TEST(Progress, DrawnAfterASecondAtMostTenTimesASecondAndGoneForABox) {
    Recorded r;
    Drawings& drawings = r.drawings;
    uint64_t& now = r.now;
    Progress& progress = r.progress;
    progress.beginCommand(ProgressAction::Copying);
    struct Step {
        uint64_t at;
        const char* item;  // nullptr: a box is shown
    } steps[] = {
        {0, "a"},    {999, "b"},       // not yet a second
        {1000, "c"}, {1099, "d"},      // drawn; then too soon
        {1100, "e"}, {1150, nullptr},  // drawn; a box hides it
        {1160, "f"},                   // back at once after the box
    };
    for (const Step& step : steps) {
        now = step.at;
        if (step.item)
            progress.fileDone(step.item, 0);
        else
            progress.hide();
    }
    progress.endCommand();
    progress.endCommand();  // nothing shown: nothing to hide
    EXPECT_EQ(drawings.events, (std::vector<std::string>{"show c", "show e", "hide", "show f", "hide"}));
}

TEST(Progress, CommandsThatShowNothingDrawNothing) {
    Recorded r;
    Drawings& drawings = r.drawings;
    uint64_t& now = r.now;
    Progress& progress = r.progress;
    progress.beginCommand(progressActionOf("OSVER"));
    now = 5000;
    progress.fileDone("x", 0);
    progress.endCommand();
    EXPECT_TRUE(drawings.events.empty());
}

// What the lines say, and that the amounts are the command's own: a second command starts
// again from nothing.
TEST(Progress, TheLinesSayWhatIsDoneAndHowMuchOfThisCommand) {
    Recorded r;
    Drawings& drawings = r.drawings;
    uint64_t& now = r.now;
    Progress& progress = r.progress;
    progress.beginCommand(progressActionOf("COPY"));
    progress.fileDone("a", 1 << 20);
    progress.endCommand();
    progress.beginCommand(progressActionOf("DELETE"));
    for (int i = 0; i < 3; ++i) progress.fileDone("C:\\app\\old.dll", 512);
    now = 2000;
    progress.fileDone("C:\\app\\new.dll", 512);
    ASSERT_EQ(drawings.shown.size(), 1u);
    EXPECT_EQ(drawings.shown[0].action, formatMessage(MessageId::ProgressDeleting));
    EXPECT_EQ(drawings.shown[0].item, "C:\\app\\new.dll");
    EXPECT_EQ(drawings.shown[0].amounts, formatMessage(MessageId::ProgressDone, {"4", "2.0 KB"}));
    EXPECT_EQ(drawings.shown[0].percent, -1);
}

// With a whole counted: the percent (by bytes for a copy, a check or a patch, by files for the others),
// the amounts of the whole and the time left, rounded up.
TEST(Progress, WithAWholeTheLinesSayHowMuchOfItAndTheTimeLeft) {
    struct Case {
        ProgressAction action;
        uint64_t wholeFiles, wholeBytes;
        uint64_t bytes;  // of the one file done
        uint64_t at;     // when it is done
        int percent;
        const char* left;  // empty: none told
    } cases[] = {
        {ProgressAction::Copying, 4, 4000, 1000, 2000, 25, "6"},
        {ProgressAction::Copying, 4, 4000, 3000, 2000, 75, "1"},  // 667 ms: a whole second
        {ProgressAction::Deleting, 4, 4000, 3000, 2000, 25, "6"},
        {ProgressAction::Patching, 4, 4000, 3000, 2000, 75, "1"},  // by the patches' bytes
        {ProgressAction::Copying, 10, 100000, 1000, 60000, 1, "m99"},
        {ProgressAction::Copying, 1, 10, 50, 2000, 100, ""},  // grown since the walk: full, no more
        {ProgressAction::Checking, 2, 0, 0, 2000, 50, "2"},   // empty files: by files
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.action) << " " << c.bytes << " at " << c.at);
        Recorded r;
        r.progress.beginCommand(c.action);
        r.progress.addToWhole(c.wholeFiles, c.wholeBytes);
        r.now = c.at;
        r.progress.fileDone("f", c.bytes);
        ASSERT_EQ(r.drawings.shown.size(), 1u);
        EXPECT_EQ(r.drawings.shown[0].percent, c.percent);
        std::string amounts = formatMessage(MessageId::ProgressDoneOfWhole,
                                            {"1", std::to_string(c.wholeFiles), bytesText(c.bytes),
                                             bytesText(c.wholeBytes)});
        const std::string left = c.left;
        if (!left.empty())
            amounts += "\u3000" + (left[0] == 'm' ? formatMessage(MessageId::ProgressMinutesLeft, {left.substr(1)})
                                                  : formatMessage(MessageId::ProgressSecondsLeft, {left}));
        EXPECT_EQ(r.drawings.shown[0].amounts, amounts);
    }
}

// A check reads a file in parts: each part moves the drawing, and the file counts once.
TEST(Progress, PartsOfAFileMoveTheDrawing) {
    Recorded r;
    r.progress.beginCommand(progressActionOf("CRC"));
    r.progress.addToWhole(1, 1000);
    r.now = 1000;
    r.progress.partDone("big", 250);
    r.now = 1100;
    r.progress.partDone("big", 750);
    r.now = 1200;
    r.progress.fileDone("big", 0);
    ASSERT_EQ(r.drawings.shown.size(), 3u);
    EXPECT_EQ(r.drawings.shown[0].percent, 25);
    EXPECT_EQ(r.drawings.shown[1].percent, 100);
    EXPECT_EQ(r.drawings.shown[2].amounts,
              formatMessage(MessageId::ProgressDoneOfWhole, {"1", "1", "1000 B", "1000 B"}));
}

// A window stays up when a command ends and the next draws on it at once; a terminal line
// goes, and the next command is drawn only after its own second.
TEST(Progress, OnlyAWindowStaysBetweenCommands) {
    for (const bool kept : {true, false}) {
        Recorded r(kept);
        r.progress.beginCommand(ProgressAction::Copying);
        r.now = 1000;
        r.progress.fileDone("a", 0);
        r.progress.endCommand();
        r.progress.beginCommand(ProgressAction::Waiting);
        r.now = 1500;
        r.progress.waiting("app.exe");
        r.progress.endCommand();
        const std::vector<std::string> expected =
            kept ? std::vector<std::string>{"show a", "show app.exe"} : std::vector<std::string>{"show a", "hide"};
        EXPECT_EQ(r.drawings.events, expected) << kept;
        if (kept) {
            EXPECT_EQ(r.drawings.shown[1].action, formatMessage(MessageId::ProgressWaiting));
            EXPECT_EQ(r.drawings.shown[1].amounts, "");
            EXPECT_EQ(r.drawings.shown[1].percent, -1);
        }
    }
}

// Cancel pressed while the second file is drawn: the question comes before the next change or
// check, default No; Yes stops the run there, what was done staying (no undo in this run), and
// the log says so; No lets the command finish.
TEST(Progress, ACancelAsksAndYesStopsTheRunBeforeTheNextFile) {
    struct Case {
        const char* mode;
        const char* keys;
        const char* third;      // where the third file's work shows; empty: nowhere
        bool thirdThereOnYes;   // whether it is there once Yes stopped the run before it
    } cases[] = {
        {"COPY", "FROM=<Src>\\new\\*.txt\nTO=<Src>\\app\\\n", "app\\c.txt", false},
        {"DELETE", "FILE=<Src>\\new\\*.txt\n", "new\\c.txt", true},
        {"CRC", "FILE=<Src>\\new\\a.txt,<Src>\\new\\b.txt,<Src>\\new\\c.txt\nTYPE=OR\nCRC=0x1,0x1,0x1\n", "",
         false},
    };
    for (const Case& c : cases) {
        for (const int answer : {os::AnswerYes, os::AnswerNo}) {
            SCOPED_TRACE(testing::Message() << c.mode << " " << answer);
            ScriptRun run(std::string("[Step]\nMODE=") + c.mode + "\n" + c.keys +
                          "[Box]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=done\nISABORT=0,0\n");
            std::filesystem::create_directories(nativePath(run.path("new")));
            for (const char* name : {"a.txt", "b.txt", "c.txt"}) writeFile(run.path("new\\") + name, "12345");
            ASSERT_TRUE(run.context().log.open(run.path("run.log")));
            Drawings drawings;
            uint64_t now = 0;
            run.context().progress.start(std::make_unique<RecordingView>(drawings, true, "b.txt"),
                                         [&] { return now += 500; });
            EXPECT_EQ(run.run("Step,Box", {answer}), answer == os::AnswerNo);
            ASSERT_GE(run.boxes().size(), 1u);
            EXPECT_EQ(run.boxes()[0].text, formatMessage(MessageId::CancelKeeps));
            EXPECT_EQ(run.boxes()[0].style, os::BoxYesNo | os::BoxIconQuestion | os::BoxDefaultSecond);
            EXPECT_EQ(run.boxes().size(), answer == os::AnswerYes ? 1u : 2u);
            if (*c.third) {
                EXPECT_EQ(fileExists(run.path(c.third)), answer == os::AnswerYes ? c.thirdThereOnYes : !c.thirdThereOnYes);
            }
            EXPECT_EQ(run.context().outcome == RunOutcome::StoppedByAnswer, answer == os::AnswerYes);
            const std::string log = readFile(run.path("run.log"));
            EXPECT_EQ(log.find(std::string("[Step] ") + c.mode + " cancelled by the user, the run stops") !=
                          std::string::npos,
                      answer == os::AnswerYes);
        }
    }
}

TEST(Progress, BytesAsAPersonReadsThem) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0 B"},         {1023, "1023 B"},     {1024, "1.0 KB"},         {1536, "1.5 KB"},
        {10 * 1024, "10 KB"}, {(1 << 20) - 1, "1.0 MB"}, {5ull << 30, "5.0 GB"}, {3ull << 40, "3.0 TB"},
        {2048ull << 40, "2048 TB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(bytesText(bytes), text) << bytes;
}

// Through a run, with a log and without: each file a COPY makes is the file at hand, a box
// takes the drawing away, and the command's end takes it away too.
TEST(Progress, ACopyTellsEachFileItMakes) {
    for (const bool logged : {false, true}) {
        SCOPED_TRACE(logged ? "logged" : "no log");
        ScriptRun run("[Copy]\nMODE=COPY\nFROM=<Src>\\new\\*.txt\nTO=<Src>\\app\\\n"
                      "[Box]\nMODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nTEXT=done\nISABORT=0,0\n");
        std::filesystem::create_directories(nativePath(run.path("new")));
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) writeFile(run.path("new\\") + name, "12345");
        if (logged) {
            ASSERT_TRUE(run.context().log.open(run.path("run.log")));
        }
        Drawings drawings;
        uint64_t now = 0;
        // Each look at the clock is half a second later, and each file has two, as its bytes are
        // written and as it is done: the first file ends past the first second.
        run.context().progress.start(std::make_unique<RecordingView>(drawings), [&] { return now += 500; });
        ASSERT_TRUE(run.run("Copy,Box"));
        std::vector<std::string> expected;
        for (const char* shown : {"a", "b", "b", "c", "c"})
            expected.push_back("show " + run.path("app\\") + shown + ".txt");
        expected.push_back("hide");
        EXPECT_EQ(drawings.events, expected);
        // The walk before the copy counted the whole: all of it done, no time left to tell.
        EXPECT_EQ(drawings.shown.back().amounts,
                  formatMessage(MessageId::ProgressDoneOfWhole, {"3", "3", "15 B", "15 B"}));
        EXPECT_EQ(drawings.shown.back().percent, 100);
        EXPECT_EQ(run.boxes().size(), 1u);
    }
}

// A file larger than one step of the copy is drawn as it is copied, before it is done.
TEST(Progress, ALargeFileIsDrawnAsItIsCopied) {
    ScriptRun run("[Copy]\nMODE=COPY\nFROM=<Src>\\big.bin\nTO=<Src>\\app\\big.bin\n");
    writeFile(run.path("big.bin"), std::string(20 << 20, 'x'));
    Drawings drawings;
    uint64_t now = 0;
    run.context().progress.start(std::make_unique<RecordingView>(drawings), [&] { return now += 1000; });
    ASSERT_TRUE(run.run("Copy"));
    ASSERT_GE(drawings.shown.size(), 2u);
    EXPECT_EQ(drawings.shown[0].item, run.path("app\\big.bin"));
    EXPECT_GT(drawings.shown[0].percent, 0);
    EXPECT_LT(drawings.shown[0].percent, 100);
    EXPECT_EQ(drawings.shown.back().amounts,
              formatMessage(MessageId::ProgressDoneOfWhole, {"1", "1", "20 MB", "20 MB"}));
}

// A box shown while a command's progress is drawn takes it away first.
TEST(Progress, ABoxTakesTheDrawingAway) {
    ScriptFixture fixture("[UPDATER]\nNAME=T\nPROC=\n");
    Drawings drawings;
    uint64_t now = 0;
    RunContext& run = fixture.run();
    run.progress.start(std::make_unique<RecordingView>(drawings), [&] { return now += 2000; });
    run.progress.beginCommand(ProgressAction::Copying);
    run.progress.fileDone("a", 1);
    BoxRecorder recorder(std::vector<int>{});
    run.showNotice(MessageId::UpdateUndone);
    EXPECT_EQ(drawings.events, (std::vector<std::string>{"show a", "hide"}));
    EXPECT_EQ(recorder.boxes().size(), 1u);
}

}  // namespace
