// Asking for administrator rights once, before anything is changed.
#include "run/elevation.h"

#include "os/files.h"
#include "os/rights.h"
#include "os/system.h"
#include "run/failure_text.h"
#include "run/key_reader.h"
#include "run/list_items.h"
#include "run/path_tests.h"
#include "run/run_context.h"
#include "run/symbols.h"
#include "text/script_path.h"

namespace {

bool hasWildcard(const std::string& element) { return element.find_first_of("*?") != std::string::npos; }

// The check of one place: the nearest directory on its way that exists, asked for what the
// command will do there. A place whose look fails for any reason but "not found" is that
// failure: nothing is taken for missing that the system did not say is missing.
os::Result checkPlace(const std::string& written) {
    std::string path = paths::withoutTrailingSeparators(written);
    // A pattern changes what it matches in its directory.
    if (hasWildcard(paths::lastElement(path))) path = paths::parentOf(path);
    os::DirectoryChange change = os::DirectoryChange::ChangeEntries;
    for (int depth = 0; !path.empty(); ++depth) {
        uint32_t attributes = os::InvalidAttributes;
        if (os::Result looked = lookAtPath(Text(path), attributes); !looked) return looked;
        if (attributes != os::InvalidAttributes) {
            // A file (or a link) itself is replaced or removed in its directory.
            if (!os::isDirectoryWord(attributes)) {
                const std::string parent = paths::parentOf(path);
                if (parent == path) break;
                return os::mayWriteIn(parent, os::DirectoryChange::ChangeEntries);
            }
            return os::mayWriteIn(path, change);
        }
        // Missing: its directory must take it, and every missing one above takes a folder.
        change = depth == 0 ? os::DirectoryChange::AddEntry : os::DirectoryChange::AddFolder;
        const std::string parent = paths::parentOf(path);
        if (parent == path) break;
        path = parent;
    }
    // Nothing on the way exists (a drive that is not there): the command itself will say so.
    return {};
}

std::string placeText(const os::Failure& place) {
    if (os::isAccessDenied(place.error))
        return "\"" + place.path + "\" may not be written by this user";
    return "\"" + place.path + "\" could not be checked: " + reasonFor(place.error);
}

}  // namespace

ElevateSetting elevateSetting(RunContext& run) {
    Text value;
    if (!run.script.readString("UPDATER", "ELEVATE", value)) return ElevateSetting::WhenNeeded;
    expandValue(run.symbols, value);
    return value.toInt() != 0 ? ElevateSetting::Always : ElevateSetting::Never;
}

std::optional<os::Failure> placeNeedingRights(RunContext& run, const Procedure& list) {
    for (const auto& record : list) {
        const CommandKind* kind = findCommandKind(run.kinds, record->mode);
        if (!kind) continue;
        for (const char* key : kind->changes) {
            if (!key) continue;
            Text value;
            if (!run.script.readString(record->section.c_str(), key, value)) continue;
            expandValue(run.symbols, value);
            for (const Text& item : ItemList(value)) {
                if (item.empty()) continue;
                if (const os::Result checked = checkPlace(item.str()); !checked) return checked.failure();
            }
        }
    }
    return std::nullopt;
}

std::string commandLineWithRights(const std::string& commandLine) {
    return commandLine.empty() ? std::string("/ELEVATED") : "/ELEVATED " + commandLine;
}

bool settleRights(RunContext& run) {
    if (run.startedWithRights) {
        run.logEvent("rights: started again by the updater with administrator rights, in \"" + os::currentDirectory() +
                     "\"; not asked again");
        return true;
    }
    const ElevateSetting setting = elevateSetting(run);
    if (setting == ElevateSetting::Never) {
        run.logEvent("rights: ELEVATE=0, never asked for");
        return true;
    }
    if (os::isElevated()) {
        run.logEvent("rights: the process has administrator rights already");
        return true;
    }
    std::string why = "ELEVATE=1";
    if (setting == ElevateSetting::WhenNeeded) {
        const Procedure* main = run.procedures.top();
        const std::optional<os::Failure> place = main ? placeNeedingRights(run, *main) : std::nullopt;
        if (!place) {
            run.logEvent("rights: not needed, this user may write every place the run changes");
            return true;
        }
        why = placeText(*place);
    }
    run.logEvent("rights: administrator rights needed: " + why);
    if (run.unattended) {
        run.logEvent("rights: not asked for in an unattended run; nothing is done");
        run.outcome = RunOutcome::NeedsRights;
        run.showError(MessageId::NeedsRights);
        return false;
    }
    run.logEvent("rights: asking for them, by starting the updater again with them");
    const std::string program = os::pathSeenElevated(run.modulePath.str());
    uint32_t exitCode = 0;
    const os::Result started =
        os::startElevated(program, commandLineWithRights(run.commandLine.str()), os::currentDirectory(), true, &exitCode);
    if (!started) {
        run.logEvent(os::isDeclined(started.error()) ? "rights: the user declined; nothing is done"
                                                     : "rights: they could not be asked for; nothing is done");
        run.outcome = RunOutcome::NeedsRights;
        run.showError(MessageId::NeedsRights, {}, &started.failure());
        return false;
    }
    run.logEvent("rights: the copy started with administrator rights ended with exit code " + std::to_string(exitCode));
    run.exitCodeWithRights = exitCode;
    run.outcome = RunOutcome::DoneWithRights;
    return false;
}
