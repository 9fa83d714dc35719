// Start-up and the run as a whole. Every stage that fails shows its message and skips the
// later stages up to the clean-up.
#include "run/startup.h"

#include "os/system.h"
#include "run/command_line.h"
#include "run/failure_text.h"
#include "run/key_reader.h"
#include "run/path_tests.h"
#include "run/procedure.h"
#include "run/run_context.h"
#include "run/run_report.h"
#include "run/symbols.h"

namespace {

// What an interrupted run of the same script left is undone before anything of the script is
// read: a killed run may have replaced the script itself.
void recoverInterruptedRun(RunContext& run) {
    const Journal::Recovery recovery = Journal::recover(run.scriptPath.str());
    if (!recovery.found) return;
    run.logEvent("the journal of an interrupted run was found");
    for (const std::string& done : recovery.done) run.logEvent("  " + done);
    if (recovery.undone) run.showNotice(MessageId::InterruptedUpdateUndone);
}

// ROLLBACK of UPDATER: the run is made undoable. Every run keeps a journal of its temporary
// files; one that cannot be kept stops only a run that was to be undoable.
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
    if (!undoable) {
        run.logEvent("no journal of temporary files: " + reasonFor(begun.error()));
        return true;
    }
    run.showError(MessageId::NoJournal, {}, &begun.failure());
    return false;
}

// The run's end: what it changed stays, or, where it could be undone and did not reach its
// end, all of it is undone.
void finishJournal(RunContext& run) {
    if (!run.journal.isOpen()) return;
    if (run.outcome == RunOutcome::Completed || !run.journal.undoable()) {
        run.journal.commit();
        return;
    }
    const std::vector<std::string> undone = run.journal.rollBack();
    if (undone.empty()) return;
    run.logEvent("the run is undone:");
    for (const std::string& line : undone) run.logEvent("  " + line);
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
Text scriptPathFor(const Text& executablePath) {
    const std::string& path = executablePath.str();
    const size_t nameStart = path.find_last_of('\\') == std::string::npos ? 0 : path.find_last_of('\\') + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return Text(path + ".ini");
    return Text(path.substr(0, dot + 1) + "ini");
}

bool readUpdaterSection(RunContext& run) {
    run.procedures.freeAll();
    if (!readKey(run, "UPDATER", "NAME", run.updaterName)) return false;
    if (!readKey(run, "UPDATER", "PROC", run.mainProcList)) return false;
    if (!run.updaterName.empty()) run.caption.set(run.updaterName);
    return true;
}

bool startup(RunContext& run, const char* arguments) {
    run.commandLine.assignText(arguments ? arguments : "");
    // Reserved switches stand first; the caption comes from what follows them, as before.
    const CommandLineSwitches switches = takeSwitches(run.commandLine);
    run.unattended = switches.unattended;
    Text fromCommandLine;
    if (captionFromCommandLine(switches.rest, fromCommandLine))
        run.caption.set(fromCommandLine);
    else
        run.caption.useBuiltin();

    run.modulePath.assign(os::modulePath().c_str());
    run.scriptPath = scriptPathFor(run.modulePath);
    // A log that cannot be opened changes nothing of the update: it runs as without one.
    if (switches.logged) (void)run.log.open(switches.logPath);
    if (!pathExists(run.scriptPath)) {
        logHeader(run, false);
        run.showError(MessageId::FileNotFound, {run.scriptPath});
        return false;
    }
    logHeader(run, true);
    recoverInterruptedRun(run);
    // A script that cannot be read as a file (a directory, a pipe, a device) reads as an
    // empty one, as the profile functions read it, and the first key is reported missing.
    const os::Result loaded = run.script.load(run.scriptPath.str());
    if (!loaded) run.logEvent("the script cannot be read: " + reasonFor(loaded.error()));
    logScriptEncoding(run);
    buildSymbolTable(run);
    openScriptsLog(run);
    return readUpdaterSection(run) && beginJournal(run);
}

void runUpdater(RunContext& run, const char* arguments) {
    const uint64_t started = os::steadyMilliseconds();
    if (startup(run, arguments)) runMain(run);
    run.procedures.freeAll();
    finishJournal(run);
    logSummary(run, os::steadyMilliseconds() - started);
}
