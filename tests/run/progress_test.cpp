// Progress: drawn only after a command has run for a second, at most ten times a second, gone
// while a box is shown and when the command ends; what its lines say; and, through a run,
// the files the commands are at.
#include "run/progress.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "helpers/script_run.h"
#include "run/messages.h"
#include "run/run_context.h"

namespace {

// Every drawing and every hiding, in order: "show <item>" or "hide".
struct Drawings {
    std::vector<std::string> events;
    std::vector<os::ProgressLines> shown;
};

class RecordingView : public os::ProgressView {
public:
    explicit RecordingView(Drawings& drawings) : drawings_(drawings) {}
    void show(const os::ProgressLines& lines) override {
        drawings_.events.push_back("show " + lines.item);
        drawings_.shown.push_back(lines);
    }
    void hide() override { drawings_.events.push_back("hide"); }

private:
    Drawings& drawings_;
};

// A progress drawn on a recording view, on a clock the test sets.
struct Recorded {
    Drawings drawings;
    uint64_t now = 0;
    Progress progress;
    Recorded() { progress.start(std::make_unique<RecordingView>(drawings), [this] { return now; }); }
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
        // Each look at the clock is half a second later: the second file is past the first second.
        run.context().progress.start(std::make_unique<RecordingView>(drawings), [&] { return now += 500; });
        ASSERT_TRUE(run.run("Copy,Box"));
        EXPECT_EQ(drawings.events, (std::vector<std::string>{"show " + run.path("app\\b.txt"),
                                                             "show " + run.path("app\\c.txt"), "hide"}));
        EXPECT_EQ(drawings.shown.back().amounts, formatMessage(MessageId::ProgressDone, {"3", "15 B"}));
        EXPECT_EQ(run.boxes().size(), 1u);
    }
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
