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

TEST(Progress, DrawnAfterASecondAtMostTenTimesASecondAndGoneForABox) {
    Drawings drawings;
    uint64_t now = 0;
    Progress progress;
    progress.start(std::make_unique<RecordingView>(drawings), [&] { return now; });
    RunCounters counters;
    progress.beginCommand(ProgressAction::Copying, counters);
    struct Step {
        uint64_t at;
        const char* item;  // nullptr: a box is shown
    } steps[] = {
        {0, "a"},    {999, "b"},             // not yet a second
        {1000, "c"}, {1099, "d"},            // drawn; then too soon
        {1100, "e"}, {1150, nullptr},        // drawn; a box hides it
        {1160, "f"},                         // back at once after the box
    };
    for (const Step& step : steps) {
        now = step.at;
        if (step.item)
            progress.at(step.item, counters);
        else
            progress.hide();
    }
    progress.endCommand();
    progress.endCommand();  // nothing shown: nothing to hide
    EXPECT_EQ(drawings.events, (std::vector<std::string>{"show c", "show e", "hide", "show f", "hide"}));
}

TEST(Progress, CommandsOverAtOnceAndRunsWithoutAViewDrawNothing) {
    Drawings drawings;
    uint64_t now = 0;
    Progress progress;
    progress.start(std::make_unique<RecordingView>(drawings), [&] { return now; });
    progress.beginCommand(progressActionOf("OSVER"), RunCounters{});
    now = 5000;
    progress.at("x", RunCounters{});
    progress.endCommand();
    EXPECT_TRUE(drawings.events.empty());

    Progress off;  // never started: the commands call it all the same
    off.beginCommand(ProgressAction::Copying, RunCounters{});
    off.at("x", RunCounters{});
    off.endCommand();
    EXPECT_FALSE(off.started());
}

TEST(Progress, TheLinesSayWhatIsDoneAndHowMuchOfThisCommand) {
    Drawings drawings;
    uint64_t now = 0;
    Progress progress;
    progress.start(std::make_unique<RecordingView>(drawings), [&] { return now; });
    RunCounters counters;
    counters.filesCopied = 10;  // an earlier command's: not this one's
    counters.bytesCopied = 1 << 20;
    progress.beginCommand(progressActionOf("DELETE"), counters);
    counters.filesDeleted = 3;
    now = 2000;
    progress.at("C:\\app\\old.dll", counters);
    ASSERT_EQ(drawings.shown.size(), 1u);
    EXPECT_EQ(drawings.shown[0].action, formatMessage(MessageId::ProgressDeleting));
    EXPECT_EQ(drawings.shown[0].item, "C:\\app\\old.dll");
    EXPECT_EQ(drawings.shown[0].amounts, formatMessage(MessageId::ProgressDone, {"3", "0 B"}));
    EXPECT_EQ(drawings.shown[0].percent, -1);
}

TEST(Progress, BytesAsAPersonReadsThem) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0 B"},           {1023, "1023 B"},         {1024, "1.0 KB"},
        {1536, "1.5 KB"},     {10 * 1024, "10 KB"},     {5ull << 30, "5.0 GB"},
        {3ull << 40, "3.0 TB"}, {2048ull << 40, "2048 TB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(bytesText(bytes), text) << bytes;
}

// Through a run: each file a COPY makes is the file at hand, with the run's own counters.
TEST(Progress, ACopyTellsEachFileItMakes) {
    ScriptRun run("[Copy]\nMODE=COPY\nFROM=<Src>\\new\\*.txt\nTO=<Src>\\app\\\n");
    std::filesystem::create_directories(nativePath(run.path("new")));
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) writeFile(run.path("new\\") + name, "12345");
    Drawings drawings;
    uint64_t now = 0;
    // Each look at the clock is half a second later: the second file is past the first second.
    run.context().progress.start(std::make_unique<RecordingView>(drawings), [&] { return now += 500; });
    ASSERT_TRUE(run.run("Copy")) << (run.boxes().empty() ? "" : run.boxes()[0].text);
    EXPECT_EQ(drawings.events, (std::vector<std::string>{"show " + run.path("app\\b.txt"),
                                                         "show " + run.path("app\\c.txt"), "hide"}));
    EXPECT_EQ(drawings.shown.back().amounts, formatMessage(MessageId::ProgressDone, {"3", "15 B"}));
}

}  // namespace
