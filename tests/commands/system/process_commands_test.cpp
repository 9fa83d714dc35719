// findProcess, APPEXIST and WAITAPP against programs of our own that run for a while.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>

#include "commands/system/process_lookup.h"
#include "helpers/helper_programs.h"
#include "helpers/recording_progress_view.h"
#include "helpers/script_run.h"
#include "os/system.h"
#include "run/messages.h"
#include "run/run_context.h"

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

TEST(FindProcess, MatchesTheWholePathIgnoringCase) {
    TempDir dir;
    Sleeper sleeper(dir, "sleeper", 1500);
    ASSERT_NE(sleeper.id(), 0u);
    struct Case {
        std::string name;
        bool found;
    } cases[] = {
        {sleeper.path(), true},
        {upper(sleeper.path()), true},
        // A process that can be queried is known by its full path only.
        {"sleeper" UPDATER_HELPER_SUFFIX, false},
        {sleeper.path() + " ", false},
        {dir / "other" UPDATER_HELPER_SUFFIX, false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(findProcess(Text(c.name.c_str())), c.found ? sleeper.id() : 0u) << c.name;
}

TEST(FindProcess, NeverFindsTheUpdaterItself) {
    EXPECT_EQ(findProcess(Text(os::modulePath().c_str())), 0u);
}

std::string appExist(const std::string& name, const std::string& apps) {
    return "[" + name + "]\nMODE=APPEXIST\nAPP=" + apps + "\n";
}

std::string waitApp(const std::string& name, const std::string& apps, const std::string& ticks) {
    return "[" + name + "]\nMODE=WAITAPP\nAPP=" + apps + "\nTICK=" + ticks + "\n";
}

TEST(AppExist, TrueOnlyWhenEveryProgramRuns) {
    struct Case {
        const char* apps;
        bool flag;
    } cases[] = {
        {"<Src>\\one" UPDATER_HELPER_SUFFIX, true},
        {" <Src>\\one" UPDATER_HELPER_SUFFIX " , <Src>\\two" UPDATER_HELPER_SUFFIX, true},
        {"<Src>\\missing" UPDATER_HELPER_SUFFIX ",<Src>\\one" UPDATER_HELPER_SUFFIX, false},
        {"<Src>\\one" UPDATER_HELPER_SUFFIX ",", false},  // an empty last item matches nothing
    };
    ScriptRun run(appExist("Case0", cases[0].apps) + appExist("Case1", cases[1].apps) +
                  appExist("Case2", cases[2].apps) + appExist("Case3", cases[3].apps));
    Sleeper one(run.dir(), "one", 2000);
    Sleeper two(run.dir(), "two", 2000);
    ASSERT_TRUE(one.id() && two.id());
    EXPECT_TRUE(run.run("Case0,Case1,Case2,Case3"));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(run.flag("Case" + std::to_string(i)), cases[i].flag) << cases[i].apps;
    EXPECT_TRUE(run.boxes().empty());
}

TEST(WaitApp, WaitsForEachProgramUpToItsOwnLimit) {
    struct Case {
        const char* apps;
        const char* ticks;
        int runsMs;          // how long the program named "sleeper" runs
        long long atLeastMs;  // how long the command must take
        long long underMs;    // and how long it may
    } cases[] = {
        {"<Src>\\sleeper" UPDATER_HELPER_SUFFIX, "20000", 500, 300, 15000},  // goes on when it ends
        {"<Src>\\sleeper" UPDATER_HELPER_SUFFIX, "-1", 500, 300, 15000},     // no limit
        {"<Src>\\sleeper" UPDATER_HELPER_SUFFIX, "300", 2000, 250, 1500},    // goes on at the limit
        {"<Src>\\sleeper" UPDATER_HELPER_SUFFIX, "0", 1000, 0, 800},         // only looks
        {"<Src>\\sleeper" UPDATER_HELPER_SUFFIX, "soon", 1000, 0, 800},      // no number: 0
        {"<Src>\\missing" UPDATER_HELPER_SUFFIX ", <Src>\\sleeper" UPDATER_HELPER_SUFFIX, "20000", 1000, 0, 800},
        {"<Src>\\sleeper" UPDATER_HELPER_SUFFIX ",<Src>\\sleeper" UPDATER_HELPER_SUFFIX, "200, 200, 20000", 2000, 300,
         1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.apps << " / " << c.ticks);
        ScriptRun run(waitApp("Wait", c.apps, c.ticks));
        Sleeper sleeper(run.dir(), "sleeper", c.runsMs);
        ASSERT_NE(sleeper.id(), 0u);
        const auto start = Clock::now();
        EXPECT_TRUE(run.run("Wait"));
        const long long took = msSince(start);
        EXPECT_GE(took, c.atLeastMs);
        EXPECT_LT(took, c.underMs);
        EXPECT_TRUE(run.flag("Wait"));
        EXPECT_TRUE(run.boxes().empty());
    }
}

// With progress drawn, a wait for a program's end (WAITAPP, LAUNCH with ISWAIT) says which
// program it waits for, with no whole; a Cancel pressed meanwhile stops WAITAPP's wait, and
// LAUNCH's only once its program has ended.
TEST(ProcessCommands, AWaitForAProgramIsDrawnAndHearsACancel) {
    struct Case {
        const char* mode;
        MessageId action;
        bool stopsWaiting;
    } cases[] = {
        {"WAITAPP", MessageId::ProgressWaiting, true},
        {"LAUNCH", MessageId::ProgressWaitingForLaunched, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const bool isWaitApp = std::string(c.mode) == "WAITAPP";
        ScriptRun run(isWaitApp ? waitApp("Wait", "<Src>\\sleeper" UPDATER_HELPER_SUFFIX, "-1")
                                : "[Wait]\nMODE=LAUNCH\nFILE=<Src>\\sleeper" UPDATER_HELPER_SUFFIX
                                  "\nPARAM=1500\nISWAIT=1\n");
        std::unique_ptr<Sleeper> sleeper;
        if (isWaitApp) {
            sleeper = std::make_unique<Sleeper>(run.dir(), "sleeper", 3000);
            ASSERT_NE(sleeper->id(), 0u);
        } else {
            placeHelper(run.dir(), "sleep_ms", "sleeper");
        }
        Drawings drawings;
        run.context().progress.start(std::make_unique<RecordingView>(drawings, false, "sleeper" UPDATER_HELPER_SUFFIX),
                                     os::steadyMilliseconds);
        const auto start = Clock::now();
        EXPECT_FALSE(run.run("Wait", {os::AnswerYes}));
        ASSERT_FALSE(drawings.shown.empty());
        EXPECT_EQ(drawings.shown[0].action, formatMessage(c.action));
        EXPECT_EQ(drawings.shown[0].item, run.path("sleeper" UPDATER_HELPER_SUFFIX));
        EXPECT_EQ(drawings.shown[0].percent, -1);
        EXPECT_EQ(run.boxes().size(), 1u);
        EXPECT_EQ(run.context().outcome, RunOutcome::StoppedByAnswer);
        // Drawn after a second and cancelled then; a launched program is waited for to its end.
        EXPECT_GE(msSince(start), c.stopsWaiting ? 1000 : 1400);
        if (c.stopsWaiting) {
            EXPECT_LT(msSince(start), 2500);
        }
    }
}

TEST(ProcessCommands, EmptyProgramListStopsTheRun) {
    for (const std::string& section : {appExist("Check", ""), waitApp("Check", "", "100")}) {
        ScriptRun run(section);
        EXPECT_FALSE(run.run("Check"));
        EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(MessageId::WrongItemCount, {"Check", "APP"})});
    }
}

}  // namespace
