// Files another program holds for a moment (a virus scanner, an indexer): a replacement is
// waited for until the file is free, without a box. Windows alone keeps others from a file.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "commands/file/file_trees.h"
#include "helpers/helper_programs.h"
#include "helpers/script_run.h"

namespace {

TEST(HeldFiles, AReplacementWaitsUntilTheFileIsFree) {
#ifndef _WIN32
    GTEST_SKIP() << "POSIX keeps nobody from a file";
#else
    ScriptRun run(file_trees::section("Copy", "COPY", {{"FROM", "<Src>\\new.txt"}, {"TO", "<Src>\\app\\held.txt"}}));
    file_trees::writeTree(run.dir().path(), {{"new.txt", "new"}, {"app\\held.txt", "old"}});
    const std::string holder = placeHelper(run.dir(), "hold_file");
    // A console program is never "ready for input": only a failure to start counts.
    const std::string parameters = "\"" + run.path("app\\held.txt") + "\" 1500 \"" + run.path("held") + "\"";
    const os::Result launched = os::startProcess(holder, parameters, run.dir().path(), false, false);
    ASSERT_TRUE(launched || launched.failure().operation == os::Operation::Wait);
    for (int waited = 0; waited < 500 && !fileExists(run.path("held")); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fileExists(run.path("held"))) << "the helper never held the file";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(run.run("Copy"));
    EXPECT_TRUE(run.boxes().empty());
    EXPECT_EQ(readFile(run.path("app\\held.txt")), "new");
    EXPECT_GT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
#endif
}

}  // namespace
