// The journal of a run: a write-ahead record of every change a run that can be undone
// (ROLLBACK=1) makes, each on the disk before the change happens (or, for an entry set aside,
// findable without its record), so that the run can be undone whatever stops it, the updater's
// death and a power cut included; and, in every run, of the temporary files it makes, so that
// the next run removes what a killed one left. The journal lies in the running user's own
// local application data, named after the script's path, and is held by its run alone.
//
// An undo removes only what the run itself made: an entry the run made is recorded with its
// identity once it exists under a name nobody else could have, before it takes its place, and
// is removed only while it is still that entry; a directory only when it is empty. Every
// record carries a check, and a record that fails it is never acted on.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "os/files.h"

class Journal {
public:
    // Where the journal of the script at `scriptPath` lives; empty when the system names no
    // folder for it.
    static std::string pathFor(const std::string& scriptPath);

    // What undoing a run, or removing what it left, came to.
    struct Outcome {
        std::vector<std::string> done;       // one line for each change undone and each leftover removed
        std::vector<os::Failure> failures;   // each step of the undo that could not be made; the journal then stays
        // What an ended run left that could not be removed yet: not a failure of the run, told
        // in the log, and removed by the next start.
        std::vector<os::Failure> left;
        bool complete() const { return failures.empty(); }
    };

    // What a start found of an earlier run of the same script, and what it did about it.
    struct Recovery : Outcome {
        bool found = false;       // a journal was there
        bool inUse = false;       // another run of the script holds it: it runs now, nothing was touched
        bool undone = false;      // its run could be undone, and every change it recorded was
        int damagedRecords = 0;   // records that failed their check: never acted on
        std::string setAsideAs;   // where a journal with damaged records was put, for a look
        std::string journalPath;
    };
    // Undoes what a journal of `scriptPath` left by an interrupted run records (when that run
    // could be undone), removes the temporary files and backups it lists, and the journal;
    // where a step fails the journal stays, for the next start to try again.
    static Recovery recover(const std::string& scriptPath);

    // Starts this run's journal. `undoable`: every change is recorded before it happens;
    // otherwise only temporary files and backups left to remove are.
    os::Result begin(const std::string& scriptPath, bool undoable);
    bool isOpen() const { return file_.isOpen(); }
    bool undoable() const { return isOpen() && undoable_; }

    // The records. In a run that can be undone each is on the disk before it returns where a
    // power cut could otherwise leave its change unknown; a failure to record makes the change
    // it would describe fail too.

    // A random name in the directory `directory` to make a file or directory under, recorded
    // on the disk before it is handed out. Names are recorded for a directory a batch at a
    // time, with one flush for all of them: a recorded name nothing was made under costs the
    // next start one look.
    os::Result temporary(const std::string& directory, std::string& name);
    // It was not made: whatever stands under that name is not the run's.
    os::Result notMade(const std::string& path);
    // The entry the run made at `temporary`, which is `identity`, is about to take the name
    // `path`, where nothing stands. Undone by removing it while it is still that entry. (One
    // that takes the place of an entry set aside is named by the set-aside's record instead.)
    os::Result made(const std::string& path, const std::string& temporary, const os::FileIdentity& identity);
    // The last record's change did not happen after all (the rename it announced failed): an
    // undo in this run need not look for it. Its identity keeps a recovery from acting on it.
    void dropLast();
    // The attribute word of `path`, the entry `identity`, is about to change from `old`.
    os::Result attributes(const std::string& path, uint32_t old, const os::FileIdentity& identity);
    os::Result moved(const std::string& from, const std::string& to, const os::FileIdentity& identity);
    // Moves `name` of `in` into the run's backup folder in that same directory (the same
    // volume: no data is copied), recorded first. The first entry set aside under a name keeps
    // it there, and its record is not flushed: the folder alone says where it goes back to.
    // `replacement`: the entry the run made that is about to take its place, which the undo
    // removes first while it is still that entry; `taken`: another entry (one a MOVE brings)
    // is to take the name. Either way the record and the set-aside are on the disk first.
    os::Result setAside(const os::Directory& in, const std::string& name,
                        const os::FileIdentity* replacement = nullptr, bool taken = false);

    // The name of this run's backup folders, which no walk of the run may see; empty while
    // nothing was set aside.
    std::string backupFolderName() const { return backups_.empty() ? std::string() : backupName_; }

    // The run reached its end: the journal says so first, then the backups go, and the
    // journal. A backup that cannot be removed yet (the old executable of a program still
    // running) is left for the next run, and told in `outcome`. Fails, changing nothing, when
    // the journal cannot say so: the run must then be undone, as a later start would take it
    // for an interrupted one.
    os::Result commit(Outcome& outcome);
    // The run failed: every change undone in reverse order, then the backups and the journal
    // go; where an undo step fails, they stay for the next start, and the failure is told.
    Outcome rollBack();

    // One record as the journal holds it.
    struct Record {
        std::string kind;
        std::string path;
        std::string other;  // a second path, or an attribute word in hexadecimal
        std::string identity;  // what the entry was, for a record of something made or moved
    };

private:
    os::Result write(const Record& record, bool durable);
    os::Result sync();
    os::Result putAside(const os::Directory& in, const std::string& name, const os::Directory& backup,
                        const std::string& as, bool replaced);

    os::AppendFile file_;
    std::string path_;
    bool undoable_ = false;
    std::string backupName_;
    std::vector<Record> records_;
    // What ended runs left in the journal this run continues, to be removed with its own.
    std::vector<Record> leftovers_;
    // What this run made, by path: what is made inside one of them needs no flush of its own.
    // The backup folder of each directory that has one, by the directory's identity, and the
    // number its last interim entry took.
    std::unordered_map<std::string, uint64_t> backups_;
    // The identity text of each directory path set aside from so far.
    std::unordered_map<std::string, std::string> directoryKeys_;
    // Names recorded for each directory and not handed out yet.
    std::unordered_map<std::string, std::vector<std::string>> temporaries_;
};
