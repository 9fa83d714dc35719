// LAUNCH: directoryOf, programs started in their own directory with their parameters, the
// two waits, and message 9 for what cannot be started.
#include "commands/system/launch_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "helpers/helper_programs.h"
#include "helpers/script_run.h"
#include "os/fault_injection.h"
#include "os/rights.h"

namespace {

TEST(DirectoryOf, CutsAtTheLastBackslash) {
    struct Case {
        const char* path;
        bool found;
        const char* directory;
    } cases[] = {
        {"C:\\Tools\\app.exe", true, "C:\\Tools"},
        {"C:\\app.exe", true, "C:"},
        {"\\\\server\\share\\app.exe", true, "\\\\server\\share"},
        {"C:\\Tools\\", true, "C:\\Tools"},
        {"a\\b", true, "a"},
        {"app.exe", false, "untouched"},
        {"\\app.exe", false, "untouched"},
        {"", false, "untouched"},
    };
    for (const Case& c : cases) {
        Text out("untouched");
        EXPECT_EQ(directoryOf(Text(c.path), out), c.found) << c.path;
        EXPECT_EQ(out.str(), c.directory) << c.path;
    }
}

std::string launchSection(const std::string& name, const std::string& files, const std::string& params,
                          const std::string& isWait) {
    return "[" + name + "]\nMODE=LAUNCH\nFILE=" + files + "\nPARAM=" + params + "\nISWAIT=" + isWait + "\n";
}

TEST(LaunchCommand, WaitsForTheEndInTheProgramsDirectory) {
    const char* const params = "300 out.txt \"two words\" three";
    ScriptRun run(launchSection("Run", "<Src>\\write_args" UPDATER_HELPER_SUFFIX, params, "1") +
                  "[Check]\nMODE=EXIST\nFILE=<Src>\\out.txt\n");
    placeHelper(run.dir(), "write_args");
    EXPECT_TRUE(run.run("Run,Check"));
    EXPECT_TRUE(run.flag("Run"));
    // The file, written a while after the start, is there when the next command runs.
    EXPECT_TRUE(run.flag("Check"));
    EXPECT_EQ(readFile(run.path("out.txt")), "two words\nthree\n");
}

// write_args is a console program, which Windows never finds ready for input and says so
// at once; the program runs, so the launch must not fail.
TEST(LaunchCommand, WaitForReadinessStartsWithoutWaitingForTheEnd) {
    // An ISWAIT that is no number leaves the field at 0.
    for (const char* isWait : {"0", "no"}) {
        SCOPED_TRACE(isWait);
        ScriptRun run(launchSection("Run", "<Src>\\write_args" UPDATER_HELPER_SUFFIX, "1500 out.txt late", isWait));
        placeHelper(run.dir(), "write_args");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(run.run("Run"));
        EXPECT_TRUE(run.flag("Run"));
        EXPECT_TRUE(run.boxes().empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
        EXPECT_FALSE(fileExists(run.path("out.txt")));
        // Under Wine the file can show up a moment before another process may open it.
        while (readFile(run.path("out.txt")) != "late\n" &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
            std::this_thread::yield();
        EXPECT_EQ(readFile(run.path("out.txt")), "late\n");
    }
}

TEST(LaunchCommand, WhatCannotBeStartedStopsTheRun) {
    struct Case {
        const char* files;
        const char* params;
        const char* failedFile;  // <Src> stands for the run's directory
        const char* failedParams;
        bool firstRan;
    } cases[] = {
        // No directory part: nothing is searched for on the path.
        {"write_args" UPDATER_HELPER_SUFFIX, "0 out.txt", "write_args" UPDATER_HELPER_SUFFIX, "0 out.txt", false},
        {"\\write_args" UPDATER_HELPER_SUFFIX, "", "\\write_args" UPDATER_HELPER_SUFFIX, "", false},
        {"<Src>\\missing.exe", " a b ", "<Src>\\missing.exe", "a b", false},
        {"<Src>\\text.exe", "x", "<Src>\\text.exe", "x", false},
        // The programs before the failing one stay started; a missing PARAM item is empty.
        {"<Src>\\write_args" UPDATER_HELPER_SUFFIX ", <Src>\\missing.exe", "0 out.txt first", "<Src>\\missing.exe", "",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files);
        ScriptRun run(launchSection("Run", c.files, c.params, "1") + "[After]\nMODE=OSVER\n");
        placeHelper(run.dir(), "write_args");
        writeFile(run.path("text.exe"), "not a program");
        EXPECT_FALSE(run.run("Run,After"));
        EXPECT_FALSE(run.flag("Run"));
        std::string file = c.failedFile;
        if (file.rfind("<Src>", 0) == 0) file.replace(0, 5, run.dir().path());
        EXPECT_EQ(run.boxTexts(),
                  std::vector<std::string>{formatMessage(MessageId::LaunchFailed, {file, c.failedParams})});
        EXPECT_EQ(fileExists(run.path("out.txt")), c.firstRan);
    }
}

#ifdef _WIN32
// A program whose manifest asks for administrator rights is refused by CreateProcessW with
// ERROR_ELEVATION_REQUIRED: it is started through the shell's "runas", which asks the user,
// and waited for as any other; declining fails the launch. Where no prompt may be shown (an
// unattended run, ELEVATE=0) the refusal itself fails the launch. Wine starts every program,
// so the refusal is injected, and the seam's "runas" starts the program as the shell would.
TEST(LaunchCommand, AProgramThatNeedsRightsIsStartedThroughTheShellOnlyWhereItMayAsk) {
    const std::string program = "<Src>\\write_args" UPDATER_HELPER_SUFFIX;
    const std::string params = "300 out.txt \"two words\"";
    constexpr os::ErrorCode ElevationRequired = 740;
    struct Case {
        const char* name;
        const char* updaterKeys;  // lines that end up in [UPDATER], before the sections
        bool unattended;
        bool declined;            // the seam answers the prompt with "cancelled"
        bool ran;                 // the program ran and was waited for
        os::ErrorCode reason;     // the failure the box tells, when it did not
    } cases[] = {
        {"consented", "", false, false, true, 0},
        {"declined", "", false, true, false, ERROR_CANCELLED},
        {"unattended", "", true, false, false, ElevationRequired},
        {"never asks", "ELEVATE=0\n", false, false, false, ElevationRequired},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptRun run(c.updaterKeys + launchSection("Run", program, params, "1"));
        run.context().unattended = c.unattended;
        placeHelper(run.dir(), "write_args");
        int refusals = 0;
        os::faults::setInjector([&](const char* call) -> std::optional<os::faults::Fault> {
            if (std::string(call) != "CreateProcessW" || refusals > 0) return std::nullopt;
            ++refusals;
            return os::faults::Fault::NeedsElevation;
        });
        // The program's folder is on a drive mapped to a share, which the elevated session
        // does not see: the shell gets the program and its folder by the share's own name.
        const std::string share = "\\\\server\\share";
        const auto local = [&](const std::string& path) { return path.substr(share.size()); };
        std::vector<std::string> asked;
        os::setRightsSeam({{}, {},
                           [&](const std::string& file, const std::string& parameters, const std::string& directory,
                               bool untilEnd, uint32_t*) {
                               asked.push_back(file);
                               asked.push_back(directory);
                               if (c.declined)
                                   return os::Result::fail(os::Operation::Start, file, ERROR_CANCELLED, "runas");
                               // LAUNCH waits, as for any program, and reads no exit code.
                               return os::startProcess(local(file), parameters, local(directory), untilEnd, false);
                           },
                           [&](const std::string& path) { return share + path; }});
        const bool ran = run.run("Run");
        os::faults::setInjector({});
        os::setRightsSeam({});
        EXPECT_EQ(refusals, 1);
        EXPECT_EQ(ran, c.ran);
        const bool mayAsk = !c.unattended && c.updaterKeys[0] == '\0';
        const std::vector<std::string> shellGot = {share + run.path("write_args" UPDATER_HELPER_SUFFIX),
                                                   share + run.dir().path()};
        EXPECT_EQ(asked, mayAsk ? shellGot : std::vector<std::string>{});
        // Waited for: the file it writes a while after its start is there at once.
        EXPECT_EQ(readFile(run.path("out.txt")), c.ran ? "two words\n" : "");
        // An unattended run shows no box.
        if (c.ran || c.unattended) continue;
        ASSERT_EQ(run.boxes().size(), 1u);
        EXPECT_EQ(messagePart(run.boxes()[0].text),
                  formatMessage(MessageId::LaunchFailed, {run.path("write_args" UPDATER_HELPER_SUFFIX), params}));
        EXPECT_NE(run.boxes()[0].text.find(os::describeError(c.reason)), std::string::npos) << run.boxes()[0].text;
    }
}
#endif

TEST(LaunchCommand, EmptyFileListStopsTheRun) {
    ScriptRun run(launchSection("Run", "", "x", "1"));
    EXPECT_FALSE(run.run("Run"));
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(MessageId::WrongItemCount, {"Run", "FILE"})});
}

}  // namespace
