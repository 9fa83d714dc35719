// Where the system refuses the updater for want of rights, run as a user whom the refusals
// bind (root is refused nothing): a directory on a script's path that cannot be opened is a
// failure, never "missing", and nothing in it is touched by the undo; a move between volumes
// whose original cannot be removed fails, and leaves the file in one place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "commands/file/file_trees.h"
#include "os/files.h"
#include "os/rights.h"

namespace {

namespace fs = std::filesystem;

// The permission bits of a directory, set on the host: under Wine too, where a Windows
// program has no way to set them itself but Wine's own opens obey them.
void setMode(const std::string& path, const char* octal) {
#ifdef _WIN32
    ASSERT_TRUE(file_trees::runOnHost("Z:\\bin\\chmod",
                                      std::string("/bin/chmod ") + octal + " \"" + file_trees::hostPath(path) + "\"",
                                      [] { return true; }));
    Sleep(200);  // the host's chmod runs on its own: given time to have run
#else
    fs::permissions(nativePath(path), static_cast<fs::perms>(std::strtol(octal, nullptr, 8)), fs::perm_options::replace);
#endif
}

// The updater started on `script` beside it in `dir`, with its journal there too.
Started startIn(const TempDir& dir, const std::string& script, const std::string& arguments = "") {
    writeFile(dir / "patch.ini", script);
    const LocalAppDataIn appData(dir / "appdata");
    return startUpdater(dir / "patch.exe", arguments);
}

TEST(Permissions, ADirectoryThatCannotBeOpenedIsNeverTakenForMissing) {
    TempDir dir;
    const file_trees::Tree installed = {
        {"app\\a.txt", "old a"},
        {"app\\locked\\inside.txt", "the user's"},
        {"app\\locked\\deeper\\d.txt", "the user's too"},
    };
    file_trees::writeTree(dir.path(), installed);
    file_trees::writeTree(dir.path(), {{"new\\a.txt", "new a"}, {"new\\b.txt", "new b"}});
    const std::string script = "[UPDATER]\nNAME=Locked\nPROC=Copy,Make,Delete\nROLLBACK=1\n" +
                               file_trees::section("Copy", "COPY", {{"FROM", "<Src>\\new"}, {"TO", "<Src>\\app"}}) +
                               file_trees::section("Make", "MAKEDIR", {{"DIR", "<Src>\\app\\logs"}}) +
                               file_trees::section("Delete", "DELETE", {{"FILE", "<Src>\\app\\locked\\inside.txt"}});
    // Written and entered, but not listed: a look at anything in it is refused.
    setMode(dir / "app\\locked", "0300");
    const Started started = startIn(dir, script);
    setMode(dir / "app\\locked", "0700");

    // The delete failed, and the run was undone.
    EXPECT_EQ(started.outcome, RunOutcome::RolledBack);
    EXPECT_EQ(started.boxes, (std::vector<std::string>{
                                 formatMessage(MessageId::DeleteFailed, {dir / "app\\locked\\inside.txt"}),
                                 formatMessage(MessageId::UpdateUndone)}));
    file_trees::Tree expected = installed;
    expected["new\\a.txt"] = "new a";
    expected["new\\b.txt"] = "new b";
    expected.erase("patch.ini");
    file_trees::Tree after = file_trees::readTree(dir.path());
    after.erase("patch.ini");
    after.erase("appdata\\Updater\\journals\\");
    EXPECT_EQ(after, expected);
}

TEST(Permissions, AMoveAcrossVolumesWhoseOriginalCannotBeRemovedFailsAndLeavesOneFile) {
    const char* other = std::getenv("SWEEP_OTHER_VOLUME");
    if (!other || !*other) GTEST_SKIP() << "no second volume here";
#ifdef _WIN32
    GTEST_SKIP() << "Wine removes a file from a folder it may not write at the handle's close, past the call";
#endif
    for (const bool rollback : {false, true}) {
        SCOPED_TRACE(rollback);
        TempDir dir;
        const std::string stage = file_trees::scriptForm(other) + "\\stage-" + std::to_string(rollback);
        file_trees::writeTree(stage, {{"one.dat", "one"}});
        file_trees::writeTree(dir.path(), {{"app\\kept.txt", "kept"}});
        // The original can be read, but its folder takes nothing away.
        setMode(stage, "0555");
        const Started started = startIn(
            // ELEVATE=0: the move itself meets the refusal, not the check before the run.
            dir, std::string("[UPDATER]\nNAME=Cross\nPROC=Move\nELEVATE=0\n") + (rollback ? "ROLLBACK=1\n" : "") +
                     file_trees::section("Move", "MOVE", {{"FROM", stage + "\\one.dat"}, {"TO", "<Src>\\app\\one.dat"}}));
        setMode(stage, "0700");
        EXPECT_EQ(started.outcome, rollback ? RunOutcome::RolledBack : RunOutcome::CommandFailed);
        ASSERT_FALSE(started.boxes.empty());
        EXPECT_EQ(started.boxes.front(), formatMessage(MessageId::MoveFailed, {stage + "\\one.dat", dir / "app\\one.dat"}));
        EXPECT_EQ(readFile(stage + "\\one.dat"), "one");
        EXPECT_FALSE(fileExists(dir / "app\\one.dat"));
        std::error_code ec;
        fs::remove_all(nativePath(stage), ec);
    }
}

// The system's own access check, not a trial write, tells a folder this user may not change:
// the run then needs administrator rights, and an unattended one changes nothing. Wine's
// check follows the folder's mode too.
TEST(Permissions, AFolderThisUserMayNotChangeNeedsRightsAndNothingIsChanged) {
    TempDir dir;
    file_trees::writeTree(dir.path(), {{"app\\a.txt", "old"}, {"new\\a.txt", "new"}});
    EXPECT_TRUE(os::mayWriteIn(dir / "app", os::DirectoryChange::ChangeEntries));
    setMode(dir / "app", "0555");
    const os::Result checked = os::mayWriteIn(dir / "app", os::DirectoryChange::ChangeEntries);
    const Started started = startIn(dir, "[UPDATER]\nNAME=Locked\nPROC=Copy\n" +
                                             file_trees::section("Copy", "COPY", {{"FROM", "<Src>\\new\\a.txt"},
                                                                                  {"TO", "<Src>\\app\\a.txt"}}),
                                    "/UNATTENDED");
    setMode(dir / "app", "0700");
    ASSERT_FALSE(checked);
    EXPECT_TRUE(os::isAccessDenied(checked.error()));
    EXPECT_EQ(checked.failure().path, dir / "app");
#ifdef _WIN32
    // Wine's programs all run elevated: nothing is asked, and the copy itself is refused.
    EXPECT_EQ(started.outcome, RunOutcome::CommandFailed);
#else
    EXPECT_EQ(started.outcome, RunOutcome::NeedsRights);
    EXPECT_EQ(started.exitCode, 6);
#endif
    EXPECT_EQ(readFile(dir / "app\\a.txt"), "old");
}

}  // namespace
