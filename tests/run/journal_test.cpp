// The journal: nothing of it outlives a run's end, a journal cut short or damaged is undone as
// far as its intact records go and never traps the next start, an undo removes only what the
// run made, and a journal another run holds is left alone.
#include "run/journal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <thread>

#include "os/fault_injection.h"
#include "os/files.h"
#include "os/rights.h"
#include "os/system.h"
#include "support/test_support.h"
#include "text/crc32.h"
#include "text/script_path.h"

namespace {

bool journalExists(const std::string& script) {
    return os::attributesOf(Journal::pathFor(script)) != os::InvalidAttributes;
}

std::string identityText(const os::FileIdentity& identity) {
    char text[64];
    std::snprintf(text, sizeof text, "%llx:%llx:%llx", static_cast<unsigned long long>(identity.volume),
                  static_cast<unsigned long long>(identity.index), static_cast<unsigned long long>(identity.birth));
    return text;
}

// A record line as the journal writes one, with its check over `body`.
std::string recordLine(const std::string& body) {
    char check[12];
    std::snprintf(check, sizeof check, "%08x", crc32(body.data(), body.size()));
    return body + "\t" + check + "\n";
}

void appendToJournal(const std::string& script, const std::string& text) {
    std::ofstream out(nativePath(Journal::pathFor(script)), std::ios::app | std::ios::binary);
    out << text;
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
        makeAsARunDoes(journal, dir, "a.txt", false);
        makeAsARunDoes(journal, dir, "new", true);
        if (commit) {
            Journal::Outcome ended;
            EXPECT_TRUE(journal.commit(ended));
            EXPECT_TRUE(ended.left.empty());
        } else {
            const Journal::Outcome undone = journal.rollBack();
            EXPECT_TRUE(undone.complete());
            EXPECT_FALSE(fileExists(dir / "new"));
        }
        EXPECT_FALSE(journalExists(script)) << commit;
        EXPECT_EQ(readFile(dir / "a.txt"), commit ? "made by the run" : "old") << commit;
        std::vector<os::FoundEntry> left;
        ASSERT_TRUE(held.list("*", left));
        EXPECT_EQ(left.size(), commit ? 2u : 1u) << commit;  // no backup folder, no temporary
    }
}

TEST(Journal, ACutLastLineIsNeverActedOn) {
    TempDir dir;
    writeFile(dir / "kept.txt", "kept");
    const std::string script = dir / "patch.ini";
    Journal journal;
    ASSERT_TRUE(journal.begin(script, true));
    makeAsARunDoes(journal, dir, "made.txt", false);
    os::Directory held;
    ASSERT_TRUE(os::Directory::open(dir.path(), held));
    os::FileIdentity kept;
    ASSERT_TRUE(held.identify("kept.txt", kept));
    journal = Journal();  // the run dies here: its journal stays
    // A record whole but for its line end: the crash came while it was written.
    std::string cut = recordLine("made\t" + dir / "kept.txt" + "\t\t" + identityText(kept));
    cut.pop_back();
    appendToJournal(script, cut);
    const Journal::Recovery recovery = Journal::recover(script);
    EXPECT_TRUE(recovery.found);
    EXPECT_TRUE(recovery.undone);
    EXPECT_EQ(recovery.damagedRecords, 0);
    EXPECT_FALSE(fileExists(dir / "made.txt"));
    EXPECT_TRUE(fileExists(dir / "kept.txt"));
    EXPECT_FALSE(journalExists(script));
}

// A damaged record in the middle, whichever way it is damaged, is never acted on, even where
// it would name the user's file; the records around it are undone, the journal is set aside,
// and the start after that finds nothing.
TEST(Journal, ADamagedRecordIsNeverActedOnAndNeverTrapsTheNextStart) {
    struct Damage {
        const char* name;
        std::string (*line)(const std::string& path, const std::string& identity);
    };
    const Damage damages[] = {
        {"a bad escape under a good check",
         [](const std::string& path, const std::string& identity) {
             return recordLine("made\t" + path + "%Z\t\t" + identity);
         }},
        {"a check that does not match",
         [](const std::string& path, const std::string& identity) {
             return "made\t" + path + "\t\t" + identity + "\t00000000\n";
         }},
        {"no check at all",
         [](const std::string& path, const std::string& identity) { return "made\t" + path + "\t\t" + identity + "\n"; }},
        {"a changed byte",
         [](const std::string& path, const std::string& identity) {
             std::string line = recordLine("made\t" + path + "\t\t" + identity);
             line[2] ^= 1;
             return line;
         }},
    };
    for (const Damage& damage : damages) {
        TempDir dir;
        writeFile(dir / "users.txt", "the user's");
        const std::string script = dir / "patch.ini";
        Journal journal;
        ASSERT_TRUE(journal.begin(script, true));
        makeAsARunDoes(journal, dir, "before.txt", false);
        os::Directory held;
        ASSERT_TRUE(os::Directory::open(dir.path(), held));
        os::FileIdentity users;
        ASSERT_TRUE(held.identify("users.txt", users));
        journal = Journal();
        appendToJournal(script, damage.line(dir / "users.txt", identityText(users)));
        // The records after the damage are the journal's too: written by hand, as a run would.
        {
            os::FileIdentity identity;
            writeFile(dir / "after.txt", "made by the run");
            ASSERT_TRUE(held.identify("after.txt", identity));
            appendToJournal(script, recordLine("made\t" + dir / "after.txt" + "\t\t" + identityText(identity)));
        }
        const Journal::Recovery recovery = Journal::recover(script);
        EXPECT_EQ(recovery.damagedRecords, 1) << damage.name;
        EXPECT_TRUE(recovery.complete()) << damage.name;
        EXPECT_EQ(readFile(dir / "users.txt"), "the user's") << damage.name;
        EXPECT_FALSE(fileExists(dir / "before.txt")) << damage.name;
        EXPECT_FALSE(fileExists(dir / "after.txt")) << damage.name;
        EXPECT_FALSE(journalExists(script)) << damage.name;
        EXPECT_TRUE(fileExists(recovery.setAsideAs)) << damage.name;
        const Journal::Recovery next = Journal::recover(script);
        EXPECT_FALSE(next.found) << damage.name;
        EXPECT_TRUE(next.complete()) << damage.name;
        std::remove(nativePath(recovery.setAsideAs).c_str());  // kept for a look, which this test has had
    }
}

// Whatever the journal says, an undo takes only the entry the run made: not another that came
// to stand under its name, and not a directory that holds what the run did not put there.
// What it cannot undo is told, and the journal stays for the next start, which finishes once
// the way is clear.
TEST(Journal, AnUndoRemovesOnlyWhatTheRunMade) {
    TempDir dir;
    const std::string script = dir / "patch.ini";
    Journal journal;
    ASSERT_TRUE(journal.begin(script, true));
    makeAsARunDoes(journal, dir, "replaced-by-someone.txt", false);
    makeAsARunDoes(journal, dir, "made-directory", true);
    writeFile(dir / "made-directory\\users.txt", "put there by someone else");
#ifdef _WIN32
    // Wine gives a file the number of its inode, which Linux gives again at once to the next
    // file made, and no birth time: there a file made anew under the name cannot be told from
    // the run's. NTFS changes the number's sequence part whenever it is used again.
    const std::string replacedBySomeone = "made by the run";
#else
    // Later than the file system's clock can tell apart: a number used again comes with
    // another birth time.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(std::remove(nativePath(dir / "replaced-by-someone.txt").c_str()) == 0);
    writeFile(dir / "replaced-by-someone.txt", "someone else's");
    const std::string replacedBySomeone = "someone else's";
#endif

    const Journal::Outcome undone = journal.rollBack();
    ASSERT_EQ(undone.failures.size(), 1u);
    EXPECT_EQ(undone.failures[0].error, os::NotEmpty);
    EXPECT_EQ(undone.failures[0].path, dir / "made-directory");
    EXPECT_EQ(fileExists(dir / "replaced-by-someone.txt"), replacedBySomeone == "someone else's");
    EXPECT_EQ(readFile(dir / "made-directory\\users.txt"), "put there by someone else");
    EXPECT_TRUE(journalExists(script));
    journal = Journal();

    ASSERT_TRUE(std::remove(nativePath(dir / "made-directory\\users.txt").c_str()) == 0);
    const Journal::Recovery recovery = Journal::recover(script);
    EXPECT_TRUE(recovery.complete());
    EXPECT_FALSE(fileExists(dir / "made-directory"));
    EXPECT_EQ(fileExists(dir / "replaced-by-someone.txt"), replacedBySomeone == "someone else's");
    EXPECT_FALSE(journalExists(script));
}

TEST(Journal, AJournalItsRunStillHoldsIsLeftAlone) {
    TempDir dir;
    const std::string script = dir / "patch.ini";
    Journal running;
    ASSERT_TRUE(running.begin(script, true));
    makeAsARunDoes(running, dir, "being-made.txt", false);
    const Journal::Recovery second = Journal::recover(script);
    EXPECT_TRUE(second.inUse);
    EXPECT_TRUE(fileExists(dir / "being-made.txt"));
    Journal another;
    EXPECT_EQ(another.begin(script, true).error(), os::InUseByAnotherRun);
    Journal::Outcome ended;
    EXPECT_TRUE(running.commit(ended));
    EXPECT_FALSE(journalExists(script));
}

// The system call that removes a file, which a test fails to keep a backup folder in place.
#ifdef _WIN32
constexpr const char* removingCall = "SetFileInformationByHandle";
#else
constexpr const char* removingCall = "unlinkat";
#endif

void failRemovals(bool fail) {
    if (!fail) return os::faults::setInjector({});
    os::faults::setInjector([](const char* call) -> std::optional<os::faults::Fault> {
        if (std::string(call) == removingCall) return os::faults::Fault::AccessDenied;
        return std::nullopt;
    });
}

bool holdsTemporaryNames(const std::string& folder) {
    std::vector<os::FoundEntry> entries;
    os::Directory held;
    return os::Directory::open(folder, held) && held.list("~upd*", entries) && !entries.empty();
}

// What a run that reached its end could not remove yet (the old executable of a program still
// running) holds up no later start: each runs its script, and the first that can removes it.
// Where the journal that names it is continued by a run that is killed, the next start undoes
// that run alone, never what the ended one did.
TEST(Journal, WhatAnEndedRunCouldNotRemoveNeverHoldsUpTheNextStart) {
    TempDir dir;
    const LocalAppDataIn appData(dir / "appdata");
    const std::string script = dir / "patch.ini";
    writeFile(dir / "old.exe", "old program");
    writeFile(script, "[UPDATER]\nNAME=T\nPROC=Del\nROLLBACK=1\n[Del]\nMODE=DELETE\nFILE=<Src>\\old.exe\n");
    failRemovals(true);
    EXPECT_EQ(startUpdater(dir / "patch.exe").outcome, RunOutcome::Completed);
    writeFile(script, "[UPDATER]\nNAME=T\nPROC=Make\nROLLBACK=1\n[Make]\nMODE=MAKEDIR\nDIR=<Src>\\made\n");
    EXPECT_EQ(startUpdater(dir / "patch.exe").outcome, RunOutcome::Completed);
    failRemovals(false);
    EXPECT_TRUE(fileExists(dir / "made"));
    EXPECT_TRUE(holdsTemporaryNames(dir.path()));  // the backup folder, still there
    {
        Journal killed;
        ASSERT_TRUE(killed.begin(script, true));
        makeAsARunDoes(killed, dir, "new.txt", false);
    }
    const Journal::Recovery recovery = Journal::recover(script);
    EXPECT_TRUE(recovery.complete());
    EXPECT_FALSE(fileExists(dir / "new.txt"));
    EXPECT_FALSE(fileExists(dir / "old.exe")) << "what an ended run deleted came back";
    EXPECT_FALSE(holdsTemporaryNames(dir.path()));
    EXPECT_FALSE(journalExists(script));
}

// A directory the script names in two ways is one directory, with one backup folder.
TEST(Journal, ADirectoryNamedTwoWaysHasOneBackupFolder) {
    TempDir dir;
    const LocalAppDataIn appData(dir / "appdata");
    writeFile(dir / "app\\a.txt", "old a");
    writeFile(dir / "app\\b.txt", "old b");
    writeFile(dir / "patch.ini", "[UPDATER]\nNAME=T\nPROC=One,Two\nROLLBACK=1\n[One]\nMODE=DELETE\nFILE=<Src>\\app\\a.txt\n"
                                 "[Two]\nMODE=DELETE\nFILE=<Src>\\.\\app\\b.txt\n");
    EXPECT_EQ(startUpdater(dir / "patch.exe").outcome, RunOutcome::Completed);
    EXPECT_FALSE(fileExists(dir / "app\\a.txt"));
    EXPECT_FALSE(fileExists(dir / "app\\b.txt"));
    EXPECT_FALSE(holdsTemporaryNames(dir / "app"));
}

// Damage the undo needed still leaves the next start free: what could not be undone is told
// once, and the journal is kept aside.
TEST(Journal, DamageTheUndoNeededIsToldOnceAndNeverTrapsTheNextStart) {
    TempDir dir;
    const LocalAppDataIn appData(dir / "appdata");
    writeFile(dir / "a.txt", "old");
    const std::string script = dir / "patch.ini";
    {
        Journal journal;
        ASSERT_TRUE(journal.begin(script, true));
        os::Directory held;
        ASSERT_TRUE(os::Directory::open(dir.path(), held));
        ASSERT_TRUE(journal.setAside(held, "a.txt"));
        makeAsARunDoes(journal, dir, "a.txt", false);
    }
    std::string text = readFile(Journal::pathFor(script));
    const size_t made = text.find("\nmade\t");
    ASSERT_NE(made, std::string::npos);
    text[made + 3] ^= 1;
    writeFile(Journal::pathFor(script), text);
    const Journal::Recovery first = Journal::recover(script);
    EXPECT_EQ(first.damagedRecords, 1);
    EXPECT_FALSE(first.complete());  // the old a.txt cannot go back over the new one
    EXPECT_FALSE(first.setAsideAs.empty());
    EXPECT_FALSE(journalExists(script));
    const Journal::Recovery second = Journal::recover(script);
    EXPECT_FALSE(second.found);
    EXPECT_TRUE(second.complete());
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
    makeAsARunDoes(journal, dir, "a.txt", false);
    ASSERT_TRUE(journal.setAside(held, "a.txt"));  // an interim one: flushed, with all before it
    const std::string onDisk = readFile(journalPath);
    ASSERT_TRUE(journal.setAside(held, "b.txt"));
    ASSERT_TRUE(journal.setAside(held, "c.txt"));
    journal = Journal();
    writeFile(journalPath, onDisk);  // the power cut: the unflushed records are gone
    const Journal::Recovery recovery = Journal::recover(script);
    EXPECT_TRUE(recovery.undone);
    EXPECT_TRUE(recovery.complete());
    for (const std::string& name : names) EXPECT_EQ(readFile(dir / name), "old " + name);
    std::vector<os::FoundEntry> left;
    ASSERT_TRUE(held.list("*", left));
    EXPECT_EQ(left.size(), names.size());  // no backup folder
    EXPECT_FALSE(journalExists(script));
}

// A script reached through a drive mapped to a share, and by the share's own name (as the copy
// started with administrator rights reaches it), has one journal: each run finds what the
// other left, and is kept out while the other works.
TEST(Journal, AScriptOnAMappedDriveHasOneJournalByEitherName) {
    TempDir dir;
    const std::string share = "\\\\server\\share";
    os::setRightsSeam({{}, {}, {}, [&](const std::string& path) {
                           return paths::isWithin(path, dir.path()) ? share + path : path;
                       }});
    const std::string byDrive = Journal::pathFor(dir / "patch.ini");
    const std::string byShare = Journal::pathFor(share + (dir / "patch.ini"));
    const std::string another = Journal::pathFor(dir / "other.ini");
    os::setRightsSeam({});
    EXPECT_EQ(byDrive, byShare);
    EXPECT_NE(byDrive, another);
}

}  // namespace
