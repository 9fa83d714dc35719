// Pipes, sockets and devices: never waited on, never read as files. Only Linux can make them
// inside a tree; Windows keeps them out of the file system.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>

#include "check/script_check.h"
#include "commands/file/copy_command.h"
#include "commands/file/file_trees.h"
#include "helpers/script_run.h"

namespace {

// A named pipe that nobody writes to: opening it for reading the usual way waits for ever.
void makePipe(const std::string& path) { ASSERT_EQ(::mkfifo(nativePath(path).c_str(), 0644), 0) << path; }

TEST(SpecialFiles, AreRefusedWithTheCommandsOwnMessage) {
    ScriptRun run(file_trees::section("Copy", "COPY", {{"FROM", "<Src>\\src"}, {"TO", "<Src>\\dst"}}) +
                  file_trees::section("Crc", "CRC", {{"FILE", "<Src>\\pipe,<Src>\\zero"}, {"TYPE", ""}, {"CRC", ""}}) +
                  file_trees::section("Date", "DATE", {{"FILE", "<Src>\\pipe"}, {"DATE", "2000/1/1"}}));
    file_trees::writeTree(run.dir().path(), {{"src\\a.txt", "a"}});
    makePipe(run.path("src\\pipe"));
    makePipe(run.path("pipe"));
    file_trees::fs::create_symlink("/dev/zero", nativePath(run.path("zero")));

    EXPECT_FALSE(run.run("Copy"));
    EXPECT_EQ(file_trees::asScriptWrites(run.boxTexts(), run.dir().path()),
              file_trees::message(MessageId::CopyFailed, {"<Src>\\src", "<Src>\\dst"}));

    EXPECT_TRUE(run.run("Crc"));
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{"PROC\t: Crc\nFILE\t: " + run.path("pipe") +
                                                       "\nCRC32\t: GetFileData Error."});

    // A file that cannot be opened counts as older than any date.
    EXPECT_TRUE(run.run("Date"));
    EXPECT_TRUE(run.flag("Date"));
}

TEST(SpecialFiles, TheFailureSaysWhatWasMet) {
    ScriptFixture fixture("");
    file_trees::writeTree(fixture.dir().path(), {{"src\\a.txt", "a"}});
    makePipe(fixture.path("src\\pipe"));
    const os::Result copied = copyItem(fixture.run(), Text(fixture.path("src").c_str()), Text(fixture.path("dst").c_str()));
    ASSERT_FALSE(copied.ok());
    EXPECT_EQ(copied.error(), os::NotAFileOrDirectory);
    EXPECT_EQ(copied.failure().path, fixture.path("src\\pipe"));
}

TEST(SpecialFiles, AScriptThatIsNoFileIsNeitherWaitedOnNorReadForEver) {
    TempDir dir;
    makePipe(dir / "pipe.ini");
    file_trees::fs::create_symlink("/dev/zero", nativePath(dir / "zero.ini"));
    for (const char* name : {"pipe.ini", "zero.ini"}) {
        Script script;
        EXPECT_FALSE(script.load(dir / name).ok()) << name;
        EXPECT_FALSE(checkScript(nativePath(dir / name), "").readable) << name;
    }
}

}  // namespace
#endif
