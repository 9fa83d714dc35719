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

// A drive's root as a directory: "C:" alone would name the drive's current directory.
std::string asDirectory(std::string path) {
    if (path.size() == 2 && path[1] == ':') path += '\\';
    return path;
}

// A place on a network share: its rights are the server's, and a copy started with
// administrator rights reaches it with the same account's, so asking would not help.
bool isRemote(const std::string& path) {
    return path.rfind("\\\\", 0) == 0 || os::pathSeenElevated(path) != path;
}

// The check of one place: the nearest directory on its way that exists, asked for what the
// command will do there. A place whose look fails for any reason but "not found" is that
// failure: nothing is taken for missing that the system did not say is missing.
os::Result checkPlace(const std::string& written) {
    std::string path = paths::withoutTrailingSeparators(written);
    if (isRemote(path)) return {};
    // A pattern changes what it matches in its directory.
    if (hasWildcard(paths::lastElement(path))) path = paths::parentOf(path);
    os::DirectoryChange change = os::DirectoryChange::ChangeEntries;
    for (int depth = 0; !path.empty(); ++depth) {
        uint32_t attributes = os::InvalidAttributes;
        if (os::Result looked = lookAtPath(Text(asDirectory(path)), attributes); !looked) return looked;
        if (attributes != os::InvalidAttributes) {
            // A file (or a link) itself is replaced or removed in its directory.
            if (!os::isDirectoryWord(attributes)) {
                const std::string parent = paths::parentOf(path);
                if (parent == path) break;
                return os::mayWriteIn(asDirectory(parent), os::DirectoryChange::ChangeEntries);
            }
            return os::mayWriteIn(asDirectory(path), change);
        }
        // Missing: its directory must take it, and every missing one above takes a folder.
        change = depth == 0 ? os::DirectoryChange::ChangeEntries : os::DirectoryChange::AddFolder;
        const std::string parent = paths::parentOf(path);
        if (parent == path) break;
        path = parent;
    }
    // Nothing on the way exists (a drive that is not there): the command itself will say so.
    return {};
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

    // Walks on past a place that could not be checked; stops at the first one refused.
    bool list(const Text& names) {
        for (const Text& name : ItemList(names))
            if (!section(name)) return false;
        return true;
    }

    PlacesChecked checked;

private:
    // A section met again (a list that leads back to itself) adds nothing.
    bool section(const Text& name) {
        if (name.empty() || !seen_.insert(ascii::upperCase(name.str())).second) return true;
        Text mode;
        if (!run_.script.readString(name.c_str(), "MODE", mode)) return true;
        expandValue(run_.symbols, mode);
        const CommandKind* kind = findCommandKind(run_.kinds, mode);
        if (!kind) return true;
        for (const char* key : kind->changes) {
            if (!key) continue;
            for (const Text& item : ItemList(value(name, key))) {
                if (item.empty()) continue;
                const os::Result place = checkPlace(item.str());
                if (place) continue;
                if (!os::isAccessDenied(place.error())) {
                    checked.unchecked.push_back(place.failure());
                    continue;
                }
                checked.refused = place.failure();
                return false;
            }
        }
        for (const char* key : kind->branches)
            if (key && !list(value(name, key))) return false;
        return true;
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

PlacesChecked checkPlaces(RunContext& run, const Text& list) {
    PlaceWalk walk(run);
    walk.list(list);
    return std::move(walk.checked);
}

std::string commandLineWithRights(const std::string& commandLine) {
    return commandLine.empty() ? std::string("/ELEVATED") : "/ELEVATED " + commandLine;
}

std::optional<os::Failure> startCopyWithRights(RunContext& run) {
    run.logEvent("rights: asking for them, by starting the updater again with them");
    // The elevated session does not see the user's mapped drives.
    const std::string program = os::pathSeenElevated(run.modulePath.str());
    const std::string directory = os::pathSeenElevated(os::currentDirectory());
    uint32_t exitCode = 0;
    const os::Result started =
        os::startElevated(program, commandLineWithRights(run.commandLine.str()), directory, true, &exitCode);
    if (!started && started.failure().operation != os::Operation::Wait) {
        run.logEvent(os::isDeclined(started.error())
                         ? "rights: the user declined; nothing is done"
                         : "rights: they could not be asked for (" + failureLine(started.failure()) +
                               "); nothing is done");
        return started.failure();
    }
    run.outcome = RunOutcome::DoneWithRights;
    if (started) {
        run.logEvent("rights: the copy started with administrator rights ended with exit code " +
                     std::to_string(exitCode));
        run.exitCodeWithRights = exitCode;
    } else {
        // The copy runs, or ran, on its own: what it did is its log's to tell, and this run
        // cannot say it succeeded.
        run.logEvent("rights: the copy started with administrator rights could not be waited for (" +
                     failureLine(started.failure()) + "); how it ended is not known");
        run.exitCodeWithRights = static_cast<uint32_t>(RunOutcome::CommandFailed);
    }
    return std::nullopt;
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
    std::optional<os::Failure> refused;
    if (setting == ElevateSetting::WhenNeeded) {
        const PlacesChecked places = checkPlaces(run, run.mainProcList);
        // Rights would not help with a place the system could not tell about: its command
        // meets the same failure and tells it.
        for (const os::Failure& unchecked : places.unchecked)
            run.logEvent("rights: not known whether this user may write: " + failureLine(unchecked));
        if (!places.refused) {
            run.logEvent("rights: not needed, this user may write every place the run changes");
            return true;
        }
        refused = places.refused;
        run.logEvent("rights: administrator rights needed: \"" + refused->path + "\" may not be written by this user");
    } else {
        run.logEvent("rights: administrator rights needed: ELEVATE=1");
    }
    if (run.unattended) {
        run.logEvent("rights: not asked for in an unattended run; nothing is done");
        run.outcome = RunOutcome::NeedsRights;
        run.showError(MessageId::NeedsRights, {}, refused ? &*refused : nullptr);
        return false;
    }
    const std::optional<os::Failure> notStarted = startCopyWithRights(run);
    if (!notStarted) return false;
    run.outcome = RunOutcome::NeedsRights;
    // The box names the place that needs the rights (or, where the script asked for them, the
    // updater), and why they could not be had.
    os::Failure shown = *notStarted;
    if (refused) shown.path = refused->path;
    run.showError(MessageId::NeedsRights, {}, &shown);
    return false;
}
