// The process layer against real programs: the list with executable paths, waits with a
// limit, starts that fail or succeed, and the Windows rules for splitting parameters.
#include "os/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "helpers/helper_programs.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "os/posix/process_wait.h"
#endif

namespace {

TEST(Process, SameExecutableIgnoresLetterCaseOnly) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"C:\\Tools\\App.EXE", "c:\\tools\\app.exe", true},
        {"C:\\Tools\\app.exe", "C:\\Tools\\app.ex", false},
        {"app.exe", "C:\\Tools\\app.exe", false},
        {"C:\\Tools\\app1.exe", "C:\\Tools\\app2.exe", false},
        {"", "", true},
    };
    for (const Case& c : cases) EXPECT_EQ(os::sameExecutable(c.a, c.b), c.same) << c.a << " / " << c.b;
}

enum class Outcome { Waited, NotStarted, WaitFailed };

Outcome outcomeOf(const os::Result& started) {
    if (started) return Outcome::Waited;
    return started.failure().operation == os::Operation::Start ? Outcome::NotStarted : Outcome::WaitFailed;
}

TEST(Process, StartReportsWhatHappened) {
    TempDir dir;
    const std::string sleeper = placeHelper(dir, "sleep_ms");
    writeFile(dir / "text.exe", "not a program");
    struct Case {
        std::string program;
        std::string parameters;
        std::string directory;
        bool untilEnd;
        Outcome expected;
    } cases[] = {
        {sleeper, "0", dir.path(), true, Outcome::Waited},
        // The program's own exit code is no failure to start, not even the one a shell uses
        // for a program it could not run.
        {sleeper, "0 127", dir.path(), true, Outcome::Waited},
        {dir / "missing.exe", "", dir.path(), true, Outcome::NotStarted},
        {dir / "missing.exe", "", dir.path(), false, Outcome::NotStarted},
        {dir / "text.exe", "", dir.path(), true, Outcome::NotStarted},
        {sleeper, "0", dir / "no such directory", true, Outcome::NotStarted},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outcomeOf(os::startProcess(c.program, c.parameters, c.directory, c.untilEnd, false)), c.expected)
            << c.program << " " << c.parameters << " in " << c.directory;
}

TEST(Process, ReadinessOfAConsoleProgram) {
    TempDir dir;
    const Outcome outcome =
        outcomeOf(os::startProcess(placeHelper(dir, "write_args"), "0 out.txt", dir.path(), false, false));
#ifdef _WIN32
    // The system never finds a program without a message queue ready for input: the fact
    // that makes LAUNCH keep such a wait from failing the launch.
    EXPECT_EQ(outcome, Outcome::WaitFailed);
#else
    EXPECT_EQ(outcome, Outcome::Waited);
#endif
}

// The same vectors hold on both builds: under Wine they show what a Windows program's
// start-up code makes of the command line; natively, that our split gives the same.
TEST(Process, ParametersAreSplitByTheWindowsRules) {
    TempDir dir;
    const std::string writer = placeHelper(dir, "write_args");
    struct Case {
        const char* parameters;
        std::vector<std::string> arguments;
    } cases[] = {
        {"", {}},
        {"one two\tthree", {"one", "two", "three"}},
        {"  spaced   out  ", {"spaced", "out"}},
        {"\"two words\" three", {"two words", "three"}},
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"\"\" x", {"", "x"}},
        {"a\\\\\\b d\"e f\"g h", {"a\\\\\\b", "de fg", "h"}},
        {"a\\\\\\\"b c d", {"a\\\"b", "c", "d"}},
        {"a\\\\\\\\\"b c\" d e", {"a\\\\b c", "d", "e"}},
        {"C:\\Program Files\\x \"C:\\Program Files\\y\"", {"C:\\Program", "Files\\x", "C:\\Program Files\\y"}},
        {"\"unterminated quote", {"unterminated quote"}},
        // Inside quotes, two quotes stand for one and the quotes go on.
        {"a\"b\"\" c d", {"ab\" c d"}},
    };
    for (const Case& c : cases) {
        const std::string parameters = std::string("0 out.txt ") + c.parameters;
        ASSERT_TRUE(os::startProcess(writer, parameters, dir.path(), true, false));
        std::string expected;
        for (const std::string& a : c.arguments) expected += a + "\n";
        EXPECT_EQ(readFile(dir / "out.txt"), expected) << c.parameters;
    }
}

#ifndef _WIN32
// The id of the first listed process whose executable is `path`, or 0.
uint32_t listedId(const std::string& path) {
    os::ProcessList list;
    while (list.next())
        if (os::sameExecutable(list.executable(), path)) return list.id();
    return 0;
}

// An updater replaces programs while they run: the old process must still be found under
// the path it was started from, not under the kernel's marked name.
TEST(Process, ProgramWhoseFileWasReplacedKeepsItsPath) {
    TempDir dir;
    Sleeper sleeper(dir, "sleeper", 2000);
    ASSERT_NE(sleeper.id(), 0u);
    std::filesystem::remove(nativePath(sleeper.path()));
    writeFile(sleeper.path(), "the new version");
    EXPECT_EQ(listedId(sleeper.path()), sleeper.id());
}

TEST(Process, EndedChildThatWasNotCollectedIsNotListed) {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    // Waits for its end but leaves it uncollected.
    siginfo_t info;
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    bool listed = false;
    os::ProcessList list;
    while (list.next()) listed = listed || list.id() == static_cast<uint32_t>(child);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_FALSE(listed);
}

TEST(Process, ProcessWithoutReadableExecutableIsListedByName) {
    // Kernel threads have no executable; where the system shows none, there is nothing to see.
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code error;
        if (!std::filesystem::read_symlink(entry.path() / "exe", error).empty() || !error) continue;
        std::string comm = readFile(entry.path().string() + "/comm");
        if (comm.empty()) continue;
        comm.pop_back();
        os::ProcessList list;
        bool found = false;
        while (!found && list.next()) found = list.id() == std::stoul(name) && list.executable() == comm;
        EXPECT_TRUE(found) << name << " " << comm;
        return;
    }
    GTEST_SKIP() << "every process here has a readable executable";
}

TEST(Process, WaitWithoutProcessDescriptorsLooksAgainUntilTheEnd) {
    TempDir dir;
    Sleeper sleeper(dir, "sleeper", 600);
    ASSERT_NE(sleeper.id(), 0u);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(os::detail::waitByLooking(sleeper.id(), 50), os::WaitOutcome::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
    EXPECT_EQ(os::detail::waitByLooking(sleeper.id(), os::WaitForever), os::WaitOutcome::Ended);
    EXPECT_EQ(os::detail::waitByLooking(sleeper.id(), 0), os::WaitOutcome::NotOpened);
}
#endif

}  // namespace
