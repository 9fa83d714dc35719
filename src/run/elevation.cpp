// Asking for administrator rights once, before anything is changed.
#include "run/elevation.h"

#include <set>

#include "os/files.h"
#include "os/rights.h"
#include "os/system.h"
#include "run/failure_text.h"
#include "run/key_reader.h"
#include "run/list_items.h"
#include "run/path_tests.h"
#include "run/run_context.h"
#include "run/symbols.h"
#include "text/ascii.h"
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

namespace {

// The commands a list may reach, read from the script as their loaders will read them: a
// branch is loaded only when its SWITCH runs, too late to ask for anything.
class PlaceWalk {
public:
    explicit PlaceWalk(RunContext& run) : run_(run) {}

    std::optional<os::Failure> list(const Text& names) {
        for (const Text& name : ItemList(names))
            if (std::optional<os::Failure> found = section(name)) return found;
        return std::nullopt;
    }

private:
    // A section met again (a list that leads back to itself) adds nothing.
    std::optional<os::Failure> section(const Text& name) {
        if (name.empty() || !seen_.insert(ascii::upperCase(name.str())).second) return std::nullopt;
        Text mode;
        if (!run_.script.readString(name.c_str(), "MODE", mode)) return std::nullopt;
        expandValue(run_.symbols, mode);
        const CommandKind* kind = findCommandKind(run_.kinds, mode);
        if (!kind) return std::nullopt;
        for (const char* key : kind->changes) {
            if (!key) continue;
            for (const Text& item : ItemList(value(name, key))) {
                if (item.empty()) continue;
                if (const os::Result checked = checkPlace(item.str()); !checked) return checked.failure();
            }
        }
        for (const char* key : kind->branches)
            if (key)
                if (std::optional<os::Failure> found = list(value(name, key))) return found;
        return std::nullopt;
    }

    Text value(const Text& section, const char* key) {
        Text value;
        if (run_.script.readString(section.c_str(), key, value)) expandValue(run_.symbols, value);
        return value;
    }

    RunContext& run_;
    std::set<std::string> seen_;
};

}  // namespace

std::optional<os::Failure> placeNeedingRights(RunContext& run, const Text& list) { return PlaceWalk(run).list(list); }

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
        const std::optional<os::Failure> place = placeNeedingRights(run, run.mainProcList);
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
