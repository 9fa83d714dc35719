// Asking for administrator rights: the decision for each ELEVATE value, the places checked,
// the copy started with rights (its command line, folder and exit code), a declined prompt
// and an unattended run that lacks them. The system's answers come from the rights seam:
// Wine grants every program everything and prompts for nothing.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>

#include "os/fault_injection.h"
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
           uint32_t exitCode = 0, std::function<std::string(const std::string&)> seenElevated = {}) {
        os::setRightsSeam({[elevated] { return elevated; },
                           [this, refusedBelow, refusal](const std::string& directory, os::DirectoryChange change) {
                               checks.push_back({directory, change});
                               const bool refused = refusedExactly ? directory == refusedBelow
                                                                   : paths::isWithin(directory, refusedBelow);
                               if (!refusedBelow.empty() && refused)
                                   return os::Result::fail(os::Operation::Look, directory, refusal, "check");
                               return os::Result{};
                           },
                           [this, startError, exitCode](const std::string& program, const std::string& parameters,
                                                        const std::string& directory, bool untilEnd, uint32_t* code) {
                               starts.push_back({program, parameters, directory, untilEnd});
                               if (startError) return os::Result::fail(failingStep, program, startError, "start");
                               if (code) *code = exitCode;
                               return os::Result{};
                           },
                           std::move(seenElevated)});
    }
    ~Rights() { os::setRightsSeam({}); }
    Rights(const Rights&) = delete;
    Rights& operator=(const Rights&) = delete;

    std::vector<std::pair<std::string, os::DirectoryChange>> checks;
    std::vector<ElevatedStart> starts;
    os::Operation failingStep = os::Operation::Start;  // of a start given a startError
    bool refusedExactly = false;                       // only refusedBelow itself, not what it holds
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
        {"empty, a place refused: read as absent", "ELEVATE=\n", false, true, "", true},
        {"a word, every place writable: read as absent", "ELEVATE=yes\n", false, false, "", false},
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

// The executable and the working directory are on a drive mapped to a share, which the
// elevated session does not see: the copy gets both by the share's own name.
TEST(Elevation, TheCopyWithRightsGetsTheCommandLineAndFolderAndItsExitCodeIsTheRuns) {
    Update update("ELEVATE=1\n");
    const std::string executable = update.dir / "patch.exe", folder = os::currentDirectory();
    Rights rights(false, "", accessDenied, 0, 4, [&](const std::string& path) {
        return path == executable || path == folder ? "\\\\server\\share" + path : path;
    });
    const std::string arguments = "/LOG=\"" + (update.dir / "run.log") + "\" My Caption";
    const Started started = update.start(arguments);
    ASSERT_EQ(rights.starts.size(), 1u);
    EXPECT_EQ(rights.starts[0].program, "\\\\server\\share" + executable);
    EXPECT_EQ(rights.starts[0].parameters, "/ELEVATED " + arguments);
    EXPECT_EQ(rights.starts[0].directory, "\\\\server\\share" + folder);
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
        const char* keys;
        const char* arguments;
        os::ErrorCode startError;
        bool box;
        int exitCode;
        const char* logged;
        const char* named;  // what the box names: the refused place, or the start that failed
    };
    const Case cases[] = {
        {"declined", "", "", declined, true, 0, "rights: the user declined; nothing is done", "app"},
        // A start that failed otherwise is told with its own path.
        {"the prompt failed", "", "", accessDenied, true, 0, "rights: they could not be asked for", "patch.exe"},
        {"declined, ELEVATE=1", "ELEVATE=1\n", "", declined, true, 0, "rights: the user declined", "patch.exe"},
        {"unattended", "", "/UNATTENDED ", 0, false, 6, "rights: not asked for in an unattended run; nothing is done",
         "app"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Update update(c.keys);
        Rights rights(false, update.dir / "app", accessDenied, c.startError);
        const Started started = update.start(c.arguments + ("/LOG=" + update.dir / "run.log"));
        EXPECT_EQ(started.outcome, RunOutcome::NeedsRights);
        EXPECT_EQ(started.exitCode, c.exitCode);
        EXPECT_EQ(rights.starts.size(), c.startError ? 1u : 0u);
        // An unattended run shows no box; its log has the message.
        ASSERT_EQ(started.boxes.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(started.boxes[0], formatMessage(MessageId::NeedsRights));
            EXPECT_NE(started.details[0].find(update.dir / c.named), std::string::npos) << started.details[0];
        }
        EXPECT_NE(update.log().find(formatMessage(MessageId::NeedsRights)), std::string::npos);
        EXPECT_NE(update.log().find(c.keys[0] ? std::string("rights: administrator rights needed: ELEVATE=1")
                                              : "rights: administrator rights needed: \"" + update.dir / "app" +
                                                    "\" may not be written by this user"),
                  std::string::npos);
        EXPECT_NE(update.log().find(c.logged), std::string::npos);
        EXPECT_FALSE(update.updated());
        EXPECT_FALSE(fileExists(update.dir / "appdata\\Updater\\journals")) << "a journal was begun";
    }
}

// The copy started but could not be waited for: it may have done the update, so this run
// neither says it was not made nor that it succeeded.
TEST(Elevation, ACopyThatCannotBeWaitedForIsNoRefusal) {
    Update update("ELEVATE=1\n");
    Rights rights(false, "", accessDenied, ioError);
    rights.failingStep = os::Operation::Wait;
    const Started started = update.start("/LOG=" + update.dir / "run.log");
    EXPECT_EQ(started.outcome, RunOutcome::DoneWithRights);
    EXPECT_EQ(started.exitCode, 0);  // as every interactive run's
    EXPECT_TRUE(started.boxes.empty());
    EXPECT_NE(update.log().find("could not be waited for"), std::string::npos);
}

// Rights would not help with a place the system could not tell about, nor with one on a
// share: the run goes on without asking, and the command meets what it meets.
TEST(Elevation, PlacesRightsCannotHelpWithAreNotAskedFor) {
    struct Case {
        const char* name;
        os::ErrorCode refusal;
        bool mapped;  // app is on a drive mapped to a share
        const char* logged;
    };
    const Case cases[] = {
        {"the check failed", ioError, false, "rights: not known whether this user may write: "},
        {"a mapped drive", accessDenied, true, "rights: not needed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Update update("");
        const std::string app = update.dir / "app";
        Rights rights(false, app, c.refusal, 0, 0, [&](const std::string& path) {
            return c.mapped && paths::isWithin(path, app) ? "\\\\server\\share" + path : path;
        });
        const Started started = update.start("/LOG=" + update.dir / "run.log");
        EXPECT_TRUE(rights.starts.empty());
        EXPECT_EQ(started.outcome, RunOutcome::Completed);
        EXPECT_NE(update.log().find(c.logged), std::string::npos) << update.log();
        EXPECT_EQ(rights.checks.empty(), c.mapped);
    }
}

// A run with administrator rights was cut off, and this start, without them, may not undo
// what it made: a copy with rights finishes the undo (and then does the run) where it may be
// asked for; elsewhere the undo is reported unfinished and kept for the next start. The
// refusal is injected into every call that removes or renames an entry.
TEST(Elevation, AnUndoOnlyRightsCanFinishIsHandedToACopyWithThem) {
    struct Case {
        const char* name;
        const char* keys;
        const char* arguments;
        os::ErrorCode startError;
        bool asks;
        RunOutcome outcome;
    };
    const Case cases[] = {
        {"asked", "", "", 0, true, RunOutcome::DoneWithRights},
        {"declined", "", "", declined, true, RunOutcome::UndoIncomplete},
        {"ELEVATE=0", "ELEVATE=0\n", "", 0, false, RunOutcome::UndoIncomplete},
        {"unattended", "", "/UNATTENDED ", 0, false, RunOutcome::UndoIncomplete},
        {"the copy with rights itself", "", "/ELEVATED ", 0, false, RunOutcome::UndoIncomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Update update(c.keys);
        const std::string script = update.dir / "patch.ini";
        {
            Journal cutOff;
            ASSERT_TRUE(cutOff.begin(script, true));
            makeAsARunDoes(cutOff, update.dir, "made.txt", false);
            cutOff = Journal();  // the run dies here: its journal stays
        }
        Rights rights(false, "", accessDenied, c.startError);
        os::faults::setInjector([](const char* call) -> std::optional<os::faults::Fault> {
            static const std::set<std::string> removals = {"unlinkat", "renameat", "renameat2", "NtSetInformationFile",
                                                           "SetFileInformationByHandle", "MoveFileExW", "DeleteFileW"};
            if (removals.count(call)) return os::faults::Fault::AccessDenied;
            return std::nullopt;
        });
        const Started started = update.start(c.arguments + ("/LOG=" + update.dir / "run.log"));
        os::faults::setInjector({});
        EXPECT_EQ(started.outcome, c.outcome) << update.log();
        EXPECT_EQ(rights.starts.size(), c.asks ? 1u : 0u);
        if (c.asks) {
            EXPECT_EQ(rights.starts[0].parameters.rfind("/ELEVATED ", 0), 0u);
        }
        // An unattended run tells it in its log alone.
        const bool reported = c.outcome == RunOutcome::UndoIncomplete && std::string(c.arguments) != "/UNATTENDED ";
        ASSERT_EQ(started.boxes.size(), reported ? 1u : 0u);
        if (reported) {
            EXPECT_EQ(started.boxes[0], formatMessage(MessageId::UndoIncomplete, {update.dir / "made.txt"}));
        }
        EXPECT_TRUE(fileExists(update.dir / "made.txt"));
        EXPECT_TRUE(fileExists(Journal::pathFor(script))) << "kept for the next start";
        EXPECT_FALSE(update.updated());
        std::remove(nativePath(Journal::pathFor(script)).c_str());
    }
}

// Each place is checked at the nearest directory on its way that exists, for what the command
// will do there; commands that change nothing are not checked, nor places on a share.
TEST(Elevation, EachPlaceIsCheckedAtItsNearestExistingDirectory) {
    using Change = os::DirectoryChange;
    constexpr Change change = Change::ChangeEntries, folder = Change::AddFolder;
    struct Case {
        const char* section;
        std::vector<std::pair<std::string, Change>> checks;  // below the script's folder, or absolute
    };
    const Case cases[] = {
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\\n", {{"app", change}}},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\a.txt\n", {{"app", change}}},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\b.txt\n", {{"app", change}}},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\x\\y\\\n", {{"app", folder}}},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\x\\b.txt\n", {{"app", folder}}},
        {"MODE=DELETE\nFILE=<Src>\\app\\*.txt\n", {{"app", change}}},
        // A folder that goes is taken from its own directory too.
        {"MODE=DELETE\nFILE=<Src>\\app\n", {{"", change}, {"app", change}}},
        {"MODE=MOVE\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\app\\\n", {{"new", change}, {"app", change}}},
        {"MODE=MOVE\nFROM=<Src>\\new\nTO=<Src>\\app\\\n", {{"", change}, {"new", change}, {"app", change}}},
        // A folder made needs only the right to make folders where it is made.
        {"MODE=MAKEDIR\nDIR=<Src>\\app\\made\n", {{"app", folder}}},
        {"MODE=EXIST\nFILE=<Src>\\app\\a.txt\n", {}},
        {"MODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=\\\\server\\share\\a.txt\n", {}},
#ifdef _WIN32
        // A drive's root, not the drive's current directory that "C:" alone names.
        {"MODE=MAKEDIR\nDIR=C:\\updater-test-missing\n", {{"C:\\", folder}}},
#endif
        // A branch, loaded only when its SWITCH runs, is checked at the start all the same; a
        // list that leads back to itself is walked once.
        {"MODE=SWITCH\nPROC=One\n0=One\n1=Two\n[Two]\nMODE=DELETE\nFILE=<Src>\\app\\a.txt\n", {{"app", change}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        ScriptFixture fixture(std::string("[UPDATER]\nNAME=T\nPROC=One\n[One]\n") + c.section);
        put(fixture.path("new\\a.txt"), "new");
        put(fixture.path("app\\a.txt"), "old");
        Rights rights(false, "");
        RunContext& run = fixture.run();
        ASSERT_TRUE(readUpdaterSection(run) && loadMain(run));
        EXPECT_FALSE(checkPlaces(run, run.mainProcList).refused.has_value());
        std::vector<std::pair<std::string, Change>> expected;
        for (const auto& [place, what] : c.checks)
            expected.emplace_back(place.empty()      ? fixture.dir().path()
                                  : place[1] == ':' ? place
                                                    : fixture.path(place),
                                  what);
        EXPECT_EQ(rights.checks, expected);
    }
}

// The walk stops at the first place refused: here the folder a DELETE removes, refused by
// the directory that holds it, though the folder itself may be changed.
TEST(Elevation, AFolderThatGoesNeedsTheRightsOfItsDirectory) {
    Update update("");
    writeFile(update.dir / "patch.ini",
              "[UPDATER]\nNAME=T\nPROC=Del,Copy\n[Del]\nMODE=DELETE\nFILE=<Src>\\app\n"
              "[Copy]\nMODE=COPY\nFROM=<Src>\\new\\a.txt\nTO=<Src>\\other\\\n");
    Rights rights(false, update.dir.path());
    rights.refusedExactly = true;
    const Started started = update.start("/UNATTENDED /LOG=" + update.dir / "run.log");
    EXPECT_EQ(started.outcome, RunOutcome::NeedsRights);
    EXPECT_EQ(rights.checks.size(), 1u) << "the walk stops at the first refusal";
    EXPECT_TRUE(fileExists(update.dir / "app\\a.txt"));
}

}  // namespace
