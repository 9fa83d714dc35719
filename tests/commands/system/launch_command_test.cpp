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
// and waited for as any other; declining fails the launch. Wine starts every program, so the
// refusal is injected; the "runas" is Wine's own, which starts the program without asking.
TEST(LaunchCommand, AProgramThatNeedsRightsIsStartedThroughTheShellAndWaitedFor) {
    for (const bool declined : {false, true}) {
        SCOPED_TRACE(declined ? "declined" : "consented");
        ScriptRun run(launchSection("Run", "<Src>\\write_args" UPDATER_HELPER_SUFFIX, "300 out.txt \"two words\"", "1"));
        placeHelper(run.dir(), "write_args");
        int refusals = 0;
        os::faults::setInjector([&](const char* call) -> std::optional<os::faults::Fault> {
            if (std::string(call) != "CreateProcessW" || refusals++ > 0) return std::nullopt;
            return os::faults::Fault::NeedsElevation;
        });
        std::vector<std::string> started;
        if (declined)
            os::setRightsSeam({{}, {}, [&](const std::string& program, const std::string&, const std::string&, bool,
                                           uint32_t*) {
                                   started.push_back(program);
                                   return os::Result::fail(os::Operation::Start, program, ERROR_CANCELLED, "ShellExecuteExW");
                               }});
        const bool ran = run.run("Run");
        os::faults::setInjector({});
        os::setRightsSeam({});
        EXPECT_EQ(refusals, 1);
        EXPECT_EQ(ran, !declined);
        // Waited for: the file it writes a while after its start is there at once.
        EXPECT_EQ(readFile(run.path("out.txt")), declined ? "" : "two words\n");
        if (!declined) continue;
        EXPECT_EQ(started, std::vector<std::string>{run.path("write_args" UPDATER_HELPER_SUFFIX)});
        ASSERT_EQ(run.boxes().size(), 1u);
        EXPECT_EQ(messagePart(run.boxes()[0].text),
                  formatMessage(MessageId::LaunchFailed, {run.path("write_args" UPDATER_HELPER_SUFFIX), "300 out.txt \"two words\""}));
        EXPECT_NE(run.boxes()[0].text.find(os::describeError(ERROR_CANCELLED)), std::string::npos);
    }
}
#endif

TEST(LaunchCommand, EmptyFileListStopsTheRun) {
    ScriptRun run(launchSection("Run", "", "x", "1"));
    EXPECT_FALSE(run.run("Run"));
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(MessageId::WrongItemCount, {"Run", "FILE"})});
}

}  // namespace
