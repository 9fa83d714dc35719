// The log's header and summary.
#include "run/run_report.h"

#include "os/rights.h"
#include "os/system.h"
#include "run/run_context.h"

#ifndef UPDATER_VERSION
#define UPDATER_VERSION "0"
#endif

void logHeader(RunContext& run, bool scriptFound) {
    run.logEvent("updater " UPDATER_VERSION " started");
    run.logEvent("command line: " + run.commandLine.str());
    run.logEvent("executable: " + run.modulePath.str());
    run.logEvent("script: " + run.scriptPath.str() + (scriptFound ? "" : " (not found)"));
    run.logEvent("system: " + os::systemDescription());
    run.logEvent("user: " + os::userName() + (os::isElevated() ? " (elevated)" : " (not elevated)"));
    run.logEvent(run.unattended ? "unattended: no box is shown, each takes its default answer" : "interactive");
}

void logScriptEncoding(RunContext& run) {
    run.logEvent(std::string("script read as ") + encodingName(run.script.encoding()));
}

void logSummary(RunContext& run, uint64_t milliseconds) {
    const RunCounters& c = run.counters;
    // Told only by runs that patched, so that the line of every other run reads as it always did.
    const std::string patched = c.filesPatched ? std::to_string(c.filesPatched) + " patched, " : std::string();
    run.logEvent("files: " + std::to_string(c.filesCopied) + " copied (" + std::to_string(c.bytesCopied) +
                 " bytes), " + patched + std::to_string(c.filesDeleted) + " deleted, " + std::to_string(c.entriesMoved) +
                 " moved, " + std::to_string(c.attributesSet) + " with attributes set; directories: " +
                 std::to_string(c.directoriesCreated) + " created, " + std::to_string(c.directoriesRemoved) +
                 " removed; shortcuts: " + std::to_string(c.shortcutsSaved) + "; programs started: " +
                 std::to_string(c.programsStarted));
    run.logEvent(std::string("end: ") + outcomeName(run.outcome) + ", exit code " + std::to_string(run.exitCode()) +
                 ", " + std::to_string(milliseconds) + " ms");
}
