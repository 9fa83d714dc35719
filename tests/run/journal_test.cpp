// The journal: nothing of it outlives a run's end, and a journal cut short by a crash is
// undone as far as it goes.
#include "run/journal.h"

#include <gtest/gtest.h>

#include <fstream>

#include "os/files.h"
#include "support/test_support.h"

namespace {

bool journalExists(const std::string& script) {
    return os::attributesOf(Journal::pathFor(script)) != os::InvalidAttributes;
}

TEST(Journal, NothingOfItOutlivesTheRunsEnd) {
    for (const bool commit : {true, false}) {
        TempDir dir;
        writeFile(dir / "a.txt", "old");
        const std::string script = dir / "patch.ini";
        Journal journal;
        ASSERT_TRUE(journal.begin(script, true));
        EXPECT_TRUE(journalExists(script));
        os::Directory held;
        ASSERT_TRUE(os::Directory::open(dir.path(), held));
        ASSERT_TRUE(journal.setAside(held, "a.txt"));
        writeFile(dir / "a.txt", "new");
        if (commit)
            journal.commit();
        else
            EXPECT_EQ(journal.rollBack().size(), 1u);
        EXPECT_FALSE(journalExists(script)) << commit;
        EXPECT_EQ(readFile(dir / "a.txt"), commit ? "new" : "old") << commit;
        std::vector<os::FoundEntry> left;
        ASSERT_TRUE(held.list("*", left));
        EXPECT_EQ(left.size(), 1u) << commit;  // a.txt alone: no backup folder
    }
}

TEST(Journal, ACutLastLineIsNeverActedOn) {
    TempDir dir;
    writeFile(dir / "kept.txt", "kept");
    writeFile(dir / "made.txt", "made by the run");
    const std::string script = dir / "patch.ini";
    Journal journal;
    ASSERT_TRUE(journal.begin(script, true));
    ASSERT_TRUE(journal.created(dir / "made.txt"));
    journal = Journal();  // the run dies here: its journal stays
    {
        std::ofstream cut(nativePath(Journal::pathFor(script)), std::ios::app | std::ios::binary);
        cut << "created\t" << dir / "kept.txt";  // no line end: the crash came while it was written
    }
    const Journal::Recovery recovery = Journal::recover(script);
    EXPECT_TRUE(recovery.found);
    EXPECT_TRUE(recovery.undone);
    EXPECT_FALSE(fileExists(dir / "made.txt"));
    EXPECT_TRUE(fileExists(dir / "kept.txt"));
    EXPECT_FALSE(journalExists(script));
}

TEST(Journal, SetAsidesWhoseRecordsAPowerCutLostAreRestored) {
    TempDir dir;
    const std::vector<std::string> names = {"a.txt", "b.txt", "c.txt"};
    for (const std::string& name : names) writeFile(dir / name, "old " + name);
    const std::string script = dir / "patch.ini";
    const std::string journalPath = Journal::pathFor(script);
    Journal journal;
    ASSERT_TRUE(journal.begin(script, true));
    os::Directory held;
    ASSERT_TRUE(os::Directory::open(dir.path(), held));
    ASSERT_TRUE(journal.setAside(held, "a.txt"));
    writeFile(dir / "a.txt", "made by the run");
    ASSERT_TRUE(journal.setAside(held, "a.txt"));  // an interim one: flushed, with all before it
    const std::string onDisk = readFile(journalPath);
    ASSERT_TRUE(journal.setAside(held, "b.txt"));
    ASSERT_TRUE(journal.setAside(held, "c.txt"));
    for (const std::string& name : names) writeFile(dir / name, "new " + name);
    journal = Journal();
    writeFile(journalPath, onDisk);  // the power cut: the unflushed records are gone
    const Journal::Recovery recovery = Journal::recover(script);
    EXPECT_TRUE(recovery.undone);
    for (const std::string& name : names) EXPECT_EQ(readFile(dir / name), "old " + name);
    std::vector<os::FoundEntry> left;
    ASSERT_TRUE(held.list("*", left));
    EXPECT_EQ(left.size(), names.size());  // no backup folder
    EXPECT_FALSE(journalExists(script));
}

}  // namespace
