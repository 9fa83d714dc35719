// Start-up and the run as a whole. Every stage that fails shows its message and skips the
// later stages up to the clean-up.
#include "run/startup.h"

#include <exception>
#include <new>
#include <vector>

#include "os/files.h"
#include "os/progress_view.h"
#include "os/rights.h"
#include "os/system.h"
#include "run/command_line.h"
#include "run/elevation.h"
#include "run/failure_text.h"
#include "run/key_reader.h"
#include "run/path_tests.h"
#include "run/procedure.h"
#include "run/run_context.h"
#include "run/run_report.h"
#include "run/symbols.h"
#include "text/script_path.h"

namespace {

// What an ended run left that could not be removed yet, in the log: the next start removes it.
void logLeftovers(RunContext& run, const std::vector<os::Failure>& left) {
    for (const os::Failure& failure : left) run.logEvent("  left for the next start: " + failureLine(failure));
}

// Every step of an undo that failed, in the log; the first in a box, with its reason. The
// journal stays, so the next start tries again.
void reportUndoFailures(RunContext& run, const std::vector<os::Failure>& failures) {
    for (const os::Failure& failure : failures)
        run.logEvent("  not undone: " + failureLine(failure));
    run.outcome = RunOutcome::UndoIncomplete;
    run.showError(MessageId::UndoIncomplete, {failures.front().path}, &failures.front());
}

// Whether an undo that stopped short may be finished by a copy of the updater started with
// administrator rights: the interrupted run had them, and this start has not. Each step
// that failed was refused to this user; a copy that has the rights already is not asked
// again, so a refusal that rights do not lift cannot start copy after copy.
bool rightsMayFinishUndo(const RunContext& run, const std::vector<os::Failure>& failures) {
    if (run.startedWithRights || run.unattended || failures.empty()) return false;
    for (const os::Failure& failure : failures)
        if (!os::isAccessDenied(failure.error)) return false;
    return !os::isElevated();
}

// What an interrupted run of the same script left is undone before anything of the script is
// read: a killed run may have replaced the script itself. False when this start must not go
// on: another run of the script is at work, or not all of what the last one left could be
// undone. What only administrator rights could undo is left in `forRights`, and this start
// goes on as far as reading the script, whose ELEVATE says whether they may be asked for.
bool recoverInterruptedRun(RunContext& run, std::vector<os::Failure>& forRights) {
    const Journal::Recovery recovery = Journal::recover(run.scriptPath.str());
    if (recovery.inUse) {
        run.logEvent("another run of this script holds its journal \"" + recovery.journalPath + "\": nothing is done");
        run.outcome = RunOutcome::NothingRan;
        run.showError(MessageId::AlreadyRunning);
        return false;
    }
    if (recovery.found) run.logEvent("the journal of an earlier run was found: \"" + recovery.journalPath + "\"");
    for (const std::string& done : recovery.done) run.logEvent("  " + done);
    logLeftovers(run, recovery.left);
    if (recovery.damagedRecords > 0) {
        run.logEvent("  " + std::to_string(recovery.damagedRecords) + " damaged records were not acted on" +
                     (recovery.setAsideAs.empty() ? std::string()
                                                  : "; the journal is kept as \"" + recovery.setAsideAs + "\""));
        run.showNotice(MessageId::JournalDamaged, {recovery.setAsideAs.empty() ? recovery.journalPath : recovery.setAsideAs});
    }
    if (!recovery.complete()) {
        if (rightsMayFinishUndo(run, recovery.failures)) {
            for (const os::Failure& failure : recovery.failures)
                run.logEvent("  not undone without administrator rights: " + failureLine(failure));
            forRights = recovery.failures;
            return true;
        }
        reportUndoFailures(run, recovery.failures);
        return false;
    }
    if (recovery.undone) run.showNotice(MessageId::InterruptedUpdateUndone);
    return true;
}

// The undo of an earlier run that this user may not finish: a copy of the updater started
// with administrator rights finishes it, then does this run, unless the script says never to
// ask. This process ends here whatever: its own run would start on a half-undone tree.
bool finishUndoWithRights(RunContext& run, const std::vector<os::Failure>& failures) {
    if (elevateSetting(run) == ElevateSetting::Never) {
        run.logEvent("rights: the undo needs administrator rights; ELEVATE=0, never asked for");
        reportUndoFailures(run, failures);
        return false;
    }
    run.logEvent("rights: administrator rights needed to finish the undo of an earlier run");
    if (startCopyWithRights(run)) reportUndoFailures(run, failures);
    return false;
}

// ROLLBACK of UPDATER: the run is made undoable. Every run keeps a journal of its temporary
// files; one that cannot be kept stops only a run that was to be undoable, and a run of the
// same script that holds it stops this one whatever.
bool beginJournal(RunContext& run) {
    Text value;
    bool undoable = false;
    if (run.script.readString("UPDATER", "ROLLBACK", value)) {
        expandValue(run.symbols, value);
        undoable = value.toInt() != 0;
    }
    const os::Result begun = run.journal.begin(run.scriptPath.str(), undoable);
    if (begun) {
        if (undoable) run.logEvent("ROLLBACK=1: every change is recorded, and undone if the run does not reach its end");
        return true;
    }
    if (begun.error() == os::InUseByAnotherRun) {
        run.logEvent("another run of this script holds its journal: nothing is done");
        run.showError(MessageId::AlreadyRunning);
        return false;
    }
    if (!undoable) {
        run.logEvent("no journal of temporary files: " + reasonFor(begun.error()));
        return true;
    }
    run.showError(MessageId::NoJournal, {}, &begun.failure());
    return false;
}

// The run's end: what it changed stays, or, where it could be undone and did not reach its
// end, all of it is undone. A run whose end cannot be recorded is undone too: a later start
// would otherwise take it for an interrupted one.
void finishJournal(RunContext& run) {
    if (!run.journal.isOpen()) return;
    if (run.outcome == RunOutcome::Completed || !run.journal.undoable()) {
        Journal::Outcome ended;
        const os::Result committed = run.journal.commit(ended);
        for (const std::string& line : ended.done) run.logEvent("  " + line);
        logLeftovers(run, ended.left);
        if (committed) return;
        run.outcome = RunOutcome::CommandFailed;
        run.showError(MessageId::NoJournal, {}, &committed.failure());
    }
    const Journal::Outcome undone = run.journal.rollBack();
    if (!undone.done.empty()) run.logEvent("the run is undone:");
    for (const std::string& line : undone.done) run.logEvent("  " + line);
    if (!undone.complete()) return reportUndoFailures(run, undone.failures);
    if (undone.done.empty()) return;
    run.outcome = RunOutcome::RolledBack;
    run.showNotice(MessageId::UpdateUndone);
}

// LOG of UPDATER, a log asked for by the script itself: optional, and only when the command
// line gave none, which wins.
void openScriptsLog(RunContext& run) {
    Text path;
    if (run.log.isOpen() || !run.script.readString("UPDATER", "LOG", path)) return;
    expandValue(run.symbols, path);
    if (path.empty() || !run.log.open(path.str())) return;
    logHeader(run, true);
    logScriptEncoding(run);
}

}  // namespace

bool captionFromCommandLine(const Text& line, Text& caption) {
    if (line.empty()) return false;
    Text first = line.word(0);
    first.trim("\"");
    if (first.empty()) return false;
    caption = first;
    return true;
}

// Only the file name's own extension is replaced: a dot in a directory name must never
// send the updater to a script outside its own directory.
Text scriptPathFor(const Text& executablePath) { return Text(paths::withoutExtension(executablePath.str()) + ".ini"); }

bool readUpdaterSection(RunContext& run) {
    run.procedures.freeAll();
    if (!readKey(run, "UPDATER", "NAME", run.updaterName)) return false;
    if (!readKey(run, "UPDATER", "PROC", run.mainProcList)) return false;
    if (!run.updaterName.empty()) run.caption.set(run.updaterName);
    return true;
}

bool startup(RunContext& run, const char* arguments, const std::string& modulePath) {
    run.commandLine.assignText(arguments ? arguments : "");
    // Reserved switches stand first; the caption comes from what follows them, as before.
    const CommandLineSwitches switches = takeSwitches(run.commandLine);
    run.unattended = switches.unattended;
    run.startedWithRights = switches.elevated;
    Text fromCommandLine;
    if (captionFromCommandLine(switches.rest, fromCommandLine))
        run.caption.set(fromCommandLine);
    else
        run.caption.useBuiltin();

    run.modulePath.assign(modulePath.c_str());
    run.scriptPath = scriptPathFor(run.modulePath);
    if (switches.logged) (void)run.log.open(switches.logPath);  // without one, the update runs as ever
    if (!pathExists(run.scriptPath)) {
        logHeader(run, false);
        run.showError(MessageId::FileNotFound, {run.scriptPath});
        return false;
    }
    logHeader(run, true);
    std::vector<os::Failure> undoForRights;
    if (!recoverInterruptedRun(run, undoForRights)) return false;
    // A script that cannot be read as a file (a directory, a pipe, a device) reads as an
    // empty one, as the profile functions read it, and the first key is reported missing.
    const os::Result loaded = run.script.load(run.scriptPath.str());
    if (!loaded) run.logEvent("the script cannot be read: " + reasonFor(loaded.error()));
    logScriptEncoding(run);
    buildSymbolTable(run);
    openScriptsLog(run);
    if (!undoForRights.empty()) return finishUndoWithRights(run, undoForRights);
    return readUpdaterSection(run);
}

namespace {

// PROGRESS of UPDATER: long commands show what they do. Never in an unattended run, which
// shows nothing.
void startProgress(RunContext& run) {
    Text value;
    if (run.unattended || !run.script.readString("UPDATER", "PROGRESS", value)) return;
    expandValue(run.symbols, value);
    if (value.toInt() == 0) return;
    run.progress.start(os::openProgressView(run.caption.forDisplay()), os::steadyMilliseconds);
    run.logEvent(run.progress.started() ? "PROGRESS=1: long commands show their progress"
                                        : "PROGRESS=1: this process has nowhere to show progress");
}

// A failure that escaped a command: the run ends as a failed command does, with a last box
// that the box itself cannot keep from ending.
void failedUnexpectedly(RunContext& run, MessageId id, const std::string& what) noexcept {
    run.outcome = RunOutcome::CommandFailed;
    try {
        run.showError(id, {what});
    } catch (...) {
        // Nothing is left to tell it with; the exit code still says it.
    }
}

}  // namespace

void runUpdater(RunContext& run, const char* arguments, const std::string& modulePath) {
    const uint64_t started = os::steadyMilliseconds();
    // Whatever escapes a command ends the run as a failed command does, never the process:
    // what the run changed is then undone where it can be.
    try {
        // The main list is loaded before anything is made, the journal included: what it
        // will change decides whether this process may do the run, or a copy with rights.
        if (startup(run, arguments, modulePath) && loadMain(run) && settleRights(run) && beginJournal(run)) {
            startProgress(run);
            runLoadedMain(run);
        }
    } catch (const std::bad_alloc&) {
        failedUnexpectedly(run, MessageId::OutOfMemory, "UPDATER");
    } catch (const std::exception& unexpected) {
        failedUnexpectedly(run, MessageId::UnexpectedFailure, unexpected.what());
    } catch (...) {
        failedUnexpectedly(run, MessageId::UnexpectedFailure, "?");
    }
    run.procedures.freeAll();
    try {
        finishJournal(run);
    } catch (...) {
        // The undo itself could not go on: the journal stays for the next start, as after any
        // undo that does not finish.
        if (run.journal.undoable() && run.outcome != RunOutcome::Completed) run.outcome = RunOutcome::UndoIncomplete;
    }
    try {
        logSummary(run, os::steadyMilliseconds() - started);
    } catch (...) {
        // Only the log's last lines are lost; the run's outcome stands.
    }
}
