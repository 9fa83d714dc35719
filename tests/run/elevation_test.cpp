// Asking for administrator rights: the decision for each ELEVATE value, the places checked,
// the copy started with rights (its command line, folder and exit code), a declined prompt
// and an unattended run that lacks them. The system's answers come from the rights seam:
// Wine grants every program everything and prompts for nothing.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "os/rights.h"
#include "os/system.h"
#include "run/elevation.h"
#include "run/procedure.h"
#include "run/startup.h"
#include "support/test_support.h"
#include "text/script_path.h"

namespace {

#ifdef _WIN32
constexpr os::ErrorCode accessDenied = 5, declined = 1223, ioError = 1117;
#else
constexpr os::ErrorCode accessDenied = EACCES, declined = ECANCELED, ioError = EIO;
#endif

// A file with the folders above it.
void put(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(nativePath(path)).parent_path());
    writeFile(path, content);
}

struct ElevatedStart {
    std::string program, parameters, directory;
    bool untilEnd;
};

// The rights seam for one test: the process's elevation, the directories this user may not
// write (and the error their check gives), what starting with rights gives back; and every
// check and start it was asked for.
class Rights {
public:
    Rights(bool elevated, std::string refusedBelow, os::ErrorCode refusal = accessDenied, os::ErrorCode startError = 0,
           uint32_t exitCode = 0) {
        os::setRightsSeam({[elevated] { return elevated; },
                           [this, refusedBelow, refusal](const std::string& directory, os::DirectoryChange change) {
                               checks.push_back({directory, change});
                               if (!refusedBelow.empty() && paths::isWithin(directory, refusedBelow))
                                   return os::Result::fail(os::Operation::Look, directory, refusal, "check");
                               return os::Result{};
                           },
                           [this, startError, exitCode](const std::string& program, const std::string& parameters,
                                                        const std::string& directory, bool untilEnd, uint32_t* code) {
                               starts.push_back({program, parameters, directory, untilEnd});
                               if (startError) return os::Result::fail(os::Operation::Start, program, startError, "start");
                               if (code) *code = exitCode;
                               return os::Result{};
                           }});
    }
    ~Rights() { os::setRightsSeam({}); }
    Rights(const Rights&) = delete;
    Rights& operator=(const Rights&) = delete;

    std::vector<std::pair<std::string, os::DirectoryChange>> checks;
    std::vector<ElevatedStart> starts;
};

// An update of app\a.txt from new\a.txt beside the script.
struct Update {
    TempDir dir;
    LocalAppDataIn appData{dir / "appdata"};
    explicit Update(const std::string& updaterKeys) {
        put(dir / "new\\a.txt", "new");
        put(dir / "app\\a.txt", "old");
        writeFile(dir / "patch.ini", "[UPDATER]\nNAME=T\nPROC=Copy\n" + updaterKeys +
                                         "[Copy]\nMODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\a.txt\n");
    }
    Started start(const std::string& arguments = "") { return startUpdater(dir / "patch.exe", arguments); }
    bool updated() const { return readFile(dir / "app\\a.txt") == "new"; }
    std::string log() const { return readFile(dir / "run.log"); }
};

TEST(Elevation, AsksOnlyWhenTheSettingAndThePlacesSaySo) {
    struct Case {
        const char* name;
        const char* keys;
        bool elevated;
        bool appRefused;
        const char* arguments;
        bool asks;
    };
    const Case cases[] = {
        {"absent, a place refused", "", false, true, "", true},
        {"absent, every place writable", "", false, false, "", false},
        {"absent, already elevated", "", true, true, "", false},
        {"1, every place writable", "ELEVATE=1\n", false, false, "", true},
        {"1, already elevated", "ELEVATE=1\n", true, false, "", false},
        {"0, a place refused", "ELEVATE=0\n", false, true, "", false},
        {"the copy started with rights", "ELEVATE=1\n", false, true, "/ELEVATED", false},
        {"the copy started with rights, Linux spelling", "", false, true, "/elevated Caption", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Update update(c.keys);
        Rights rights(c.elevated, c.appRefused ? update.dir / "app" : "");
        const Started started = update.start(c.arguments);
        EXPECT_EQ(rights.starts.size(), c.asks ? 1u : 0u);
        EXPECT_EQ(started.outcome, c.asks ? RunOutcome::DoneWithRights : RunOutcome::Completed);
        // Where it asked, the copy (here the seam, which does nothing) does the work.
        EXPECT_EQ(update.updated(), !c.asks);
    }
}

TEST(Elevation, TheCopyWithRightsGetsTheCommandLineAndFolderAndItsExitCodeIsTheRuns) {
    Update update("ELEVATE=1\n");
    Rights rights(false, "", accessDenied, 0, 4);
    const std::string arguments = "/LOG=\"" + (update.dir / "run.log") + "\" My Caption";
    const Started started = update.start(arguments);
    ASSERT_EQ(rights.starts.size(), 1u);
    EXPECT_EQ(rights.starts[0].program, update.dir / "patch.exe");
    EXPECT_EQ(rights.starts[0].parameters, "/ELEVATED " + arguments);
    EXPECT_EQ(rights.starts[0].directory, os::currentDirectory());
    EXPECT_TRUE(rights.starts[0].untilEnd);
    EXPECT_EQ(started.exitCode, 4);
    EXPECT_TRUE(started.boxes.empty());
    EXPECT_NE(update.log().find("rights: administrator rights needed: ELEVATE=1"), std::string::npos);
    EXPECT_NE(update.log().find("ended with exit code 4"), std::string::npos);
    EXPECT_FALSE(update.updated());
}

TEST(Elevation, RightsThatCannotBeHadStopTheRunBeforeAnythingChanges) {
    struct Case {
        const char* name;
        const char* arguments;
        os::ErrorCode startError;
        bool box;
        int exitCode;
        const char* logged;
    };
    const Case cases[] = {
        {"declined", "", declined, true, 0, "rights: the user declined; nothing is done"},
        {"the prompt failed", "", accessDenied, true, 0, "rights: they could not be asked for"},
        {"unattended", "/UNATTENDED ", 0, false, 6, "rights: not asked for in an unattended run; nothing is done"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Update update("");
        Rights rights(false, update.dir / "app", accessDenied, c.startError);
        const Started started = update.start(c.arguments + ("/LOG=" + update.dir / "run.log"));
        EXPECT_EQ(started.outcome, RunOutcome::NeedsRights);
        EXPECT_EQ(started.exitCode, c.exitCode);
        EXPECT_EQ(rights.starts.size(), c.startError ? 1u : 0u);
        // An unattended run shows no box; its log has the message.
        ASSERT_EQ(started.boxes.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(started.boxes[0], formatMessage(MessageId::NeedsRights));
            EXPECT_NE(started.details[0].find(update.dir / "patch.exe"), std::string::npos);
        }
        EXPECT_NE(update.log().find(formatMessage(MessageId::NeedsRights)), std::string::npos);
        EXPECT_NE(update.log().find("rights: administrator rights needed: \"" + update.dir / "app" +
                                    "\" may not be written by this user"),
                  std::string::npos);
        EXPECT_NE(update.log().find(c.logged), std::string::npos);
        EXPECT_FALSE(update.updated());
        EXPECT_FALSE(fileExists(update.dir / "appdata\\Updater\\journals")) << "a journal was begun";
    }
}

// A place whose check fails for another reason cannot be counted on: rights are asked for.
TEST(Elevation, APlaceThatCannotBeCheckedNeedsRights) {
    Update update("");
    Rights rights(false, update.dir / "app", ioError);
    const Started started = update.start("/LOG=" + update.dir / "run.log");
    EXPECT_EQ(rights.starts.size(), 1u);
    EXPECT_EQ(started.outcome, RunOutcome::DoneWithRights);
    EXPECT_NE(update.log().find("\"" + update.dir / "app" + "\" could not be checked"), std::string::npos);
}

// Each place is checked at the nearest directory on its way that exists, for what the command
// will do there; commands that change nothing are not checked.
TEST(Elevation, EachPlaceIsCheckedAtItsNearestExistingDirectory) {
    using Change = os::DirectoryChange;
    struct Case {
        const char* section;
        const char* checked;
        Change change;
    };
    const Case cases[] = {
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\\n", "app", Change::ChangeEntries},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\a.txt\n", "app", Change::ChangeEntries},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\b.txt\n", "app", Change::AddEntry},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\x\\y\\\n", "app", Change::AddFolder},
        {"MODE=DELETE\nFILE=<Src>\\app\\*.txt\n", "app", Change::ChangeEntries},
        {"MODE=MOVE\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\\n", "new", Change::ChangeEntries},
        {"MODE=MAKEDIR\nDIR=<Src>\\app\\made\n", "app", Change::AddEntry},
        {"MODE=EXIST\nFILE=<Src>\\app\\a.txt\n", nullptr, Change::AddEntry},
        // A branch, loaded only when its SWITCH runs, is checked at the start all the same; a
        // list that leads back to itself is walked once.
        {"MODE=SWITCH\nPROC=One\n0=One\n1=Two\n[Two]\nMODE=DELETE\nFILE=<Src>\\app\\a.txt\n", "app",
         Change::ChangeEntries},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        ScriptFixture fixture(std::string("[UPDATER]\nNAME=T\nPROC=One\n[One]\n") + c.section);
        put(fixture.path("new\\a.txt"), "new");
        put(fixture.path("app\\a.txt"), "old");
        Rights rights(false, "");
        RunContext& run = fixture.run();
        ASSERT_TRUE(readUpdaterSection(run) && loadMain(run));
        EXPECT_FALSE(placeNeedingRights(run, run.mainProcList).has_value());
        if (!c.checked) {
            EXPECT_TRUE(rights.checks.empty());
            continue;
        }
        ASSERT_FALSE(rights.checks.empty());
        EXPECT_EQ(rights.checks[0].first, fixture.path(c.checked));
        EXPECT_EQ(rights.checks[0].second, c.change);
    }
}

}  // namespace
