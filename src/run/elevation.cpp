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
    const auto startsWith = [&path](const char* prefix) { return path.rfind(prefix, 0) == 0; };
    if (startsWith("\\\\?\\UNC\\")) return true;
    // "\\?\C:\..." and "\\.\..." are local paths written for the system's own parser.
    if (startsWith("\\\\?\\") || startsWith("\\\\.\\")) return false;
    return startsWith("\\\\") || os::pathSeenElevated(path) != path;
}

// The directory that holds `path` as the commands resolve it: the current directory for a
// bare name, the root for a rootless path. Empty for a root, which nothing holds.
std::string holderOf(const std::string& path) {
    if (path.empty() || path == "\\" || (path.size() == 2 && path[1] == ':') || (path.size() == 3 && path[1] == ':'))
        return {};
    const std::string parent = paths::parentOf(path);
    if (parent == path) return os::currentDirectory();
    if (parent.empty()) return "\\";
    return asDirectory(parent);
}

// What a command does with one place it names.
struct PlaceUse {
    bool makesFolder;    // a missing place becomes a folder (MAKEDIR, or a path ending in "\")
    bool removesItself;  // an existing place goes from its directory (MOVE FROM, DELETE FILE)
};

// The check of one place: the nearest directory on its way that exists, asked for what the
// command will do there. A place whose look fails for any reason but "not found" is that
// failure: nothing is taken for missing that the system did not say is missing.
os::Result checkPlace(const std::string& written, PlaceUse use) {
    if (!written.empty() && written.back() == '\\') use.makesFolder = true;
    std::string path = paths::withoutTrailingSeparators(written);
    if (path.empty() || isRemote(path)) return {};
    // A pattern changes what it matches in its directory, never the directory itself.
    if (hasWildcard(paths::lastElement(path))) {
        path = holderOf(path);
        use = {false, false};
    }
    os::DirectoryChange change = os::DirectoryChange::ChangeEntries;
    for (int depth = 0; !path.empty(); ++depth) {
        uint32_t attributes = os::InvalidAttributes;
        if (os::Result looked = lookAtPath(Text(asDirectory(path)), attributes); !looked) return looked;
        if (attributes != os::InvalidAttributes) {
            const std::string holder = holderOf(path);
            // A file (or a link) itself is replaced or removed in its directory; a folder that
            // goes has its contents removed and itself taken from its own directory.
            if (!os::isDirectoryWord(attributes))
                return holder.empty() ? os::Result{} : os::mayWriteIn(holder, os::DirectoryChange::ChangeEntries);
            if (depth == 0 && use.removesItself && !holder.empty())
                if (const os::Result above = os::mayWriteIn(holder, os::DirectoryChange::ChangeEntries); !above)
                    return above;
            return os::mayWriteIn(asDirectory(path), change);
        }
        // Missing: its directory must take it, and every missing one above takes a folder.
        change = depth == 0 && !use.makesFolder ? os::DirectoryChange::ChangeEntries : os::DirectoryChange::AddFolder;
        path = holderOf(path);
    }
    // Nothing on the way exists (a drive that is not there): the command itself will say so.
    return {};
}

}  // namespace

ElevateSetting elevateSettingOf(const Text& value) {
    // A value that is no number (empty, a word) says nothing: the updater asks when needed,
    // rather than take a slip for "never".
    if (!value.startsWithNumber()) return ElevateSetting::WhenNeeded;
    return value.toInt() != 0 ? ElevateSetting::Always : ElevateSetting::Never;
}

ElevateSetting elevateSetting(RunContext& run) {
    Text value;
    if (!run.script.readString("UPDATER", "ELEVATE", value)) return ElevateSetting::WhenNeeded;
    expandValue(run.symbols, value);
    return elevateSettingOf(value);
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
                const os::Result place = checkPlace(item.str(), useOf(*kind, key));
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

    static PlaceUse useOf(const CommandKind& kind, const std::string& key) {
        const std::string mode = kind.mode;
        return {mode == "MAKEDIR", (mode == "MOVE" && key == "FROM") || (mode == "DELETE" && key == "FILE")};
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
        // The copy runs, or ran, on its own and shows its own boxes: what it did is its log's
        // to tell. Only an interactive run asks, and it ends with 0 as every interactive run.
        run.logEvent("rights: the copy started with administrator rights could not be waited for (" +
                     failureLine(started.failure()) + "); how it ended is not known");
        run.exitCodeWithRights = 0;
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
    // The box names the place that needs the rights and why they could not be had; a start
    // that failed otherwise is told as it failed, with its own path.
    os::Failure shown = *notStarted;
    if (refused && (os::isDeclined(shown.error) || shown.error == os::NoWayToElevate)) shown.path = refused->path;
    run.showError(MessageId::NeedsRights, {}, &shown);
    return false;
}
