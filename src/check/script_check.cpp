// The script checker: the script read through the updater's own profile readers, symbol
// table, expansion passes and loaders, every list followed, nothing run and nothing shown.
// Only the line numbers come from elsewhere: the INI reader the POSIX build reads with.
#include "check/script_check.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <set>

#include "check/key_rules.h"
#include "check/plan.h"
#include "commands/command_kinds.h"
#include "os/files.h"
#include "run/command.h"
#include "run/elevation.h"
#include "run/key_reader.h"
#include "run/list_items.h"
#include "run/messages.h"
#include "run/run_context.h"
#include "run/script_file.h"
#include "run/symbols.h"
#include "text/script_path.h"
#include "text/ascii.h"
#include "text/ini_file.h"

namespace {

// A built-in that is not defined names a folder this machine lacks, not a fault of the script.
bool isBuiltinSymbol(const Text& name) {
    for (const char* builtin : {"<Win>", "<Sys>", "<Src>", "<Desktop>", "<Programs>"})
        if (name.equalsNoCase(builtin)) return true;
    return false;
}

// The places that only an administrator may change on a standard Windows installation, each
// written as a script names it, so that the symbol table of this machine says where it lies.
// Of two nested places the inner one comes first: it is the one a finding names.
struct GuardedPlace {
    const char* written;
    const char* name;
};
constexpr GuardedPlace guardedPlaces[] = {
    {"{?SpFolder\\0x2b}", "the Common Files folder"},
    {"{?SpFolder\\0x2c}", "the 32-bit Common Files folder"},
    {"{?SpFolder\\0x26}", "the Program Files folder"},
    {"{?SpFolder\\0x2a}", "the 32-bit Program Files folder"},
    {"<Sys>", "the system folder"},
    {"{?SpFolder\\0x29}", "the 32-bit system folder"},
    {"<Win>", "the Windows folder"},
    {"{?SpFolder\\0x18}", "the all-users Startup folder"},
    {"{?SpFolder\\0x17}", "the all-users Programs menu"},
    {"{?SpFolder\\0x16}", "the all-users Start menu"},
    {"{?SpFolder\\0x19}", "the all-users desktop"},
};

// A guarded place as this machine names it, upper case: paths compare without regard to case.
struct GuardedRoot {
    std::string path;
    const char* name;
};

// The message a command shows when the system refuses it its place.
std::string refusalMessageOf(const char* mode) {
    static const struct {
        const char* mode;
        MessageId id;
    } refusals[] = {
        {"COPY", MessageId::CopyFailed},         {"MOVE", MessageId::MoveFailed},
        {"DELETE", MessageId::DeleteFailed},     {"MAKEDIR", MessageId::MakeDirFailed},
        {"ATTR", MessageId::AttributeFailed},    {"LINK", MessageId::ShortcutFailed},
    };
    for (const auto& refusal : refusals)
        if (Text(mode).equalsNoCase(refusal.mode))
            return "it stops with message " + std::to_string(static_cast<int>(refusal.id)) + " (access denied)";
    return "it fails with access denied";
}

// Two list values that name the same sections in the same order load the same procedure.
std::string listIdentity(const Text& list) {
    std::string identity;
    for (const Text& item : ItemList(list)) identity += ascii::upperCase(item.str()) + ",";
    return identity;
}

// Where a list is written, and so when the updater would load it.
struct ListOrigin {
    std::string section;
    std::string key;
    int line;
    bool main;

    std::string loadStop() const {
        if (main) return "before any command of the main list runs";
        return "when [" + section + "] takes branch " + key + ", before any command of that branch runs";
    }
};

enum class KeyState { Present, Absent, NoData, NoEquals, NoSection };

struct CheckedCommand {
    Text name;
    const CommandKind* kind = nullptr;
    SectionValues values;
    PlanCommand plan;  // without branches: those belong to the list it is met in

    CheckedCommand copy(const Text& namedAs) const {
        CheckedCommand out;
        out.name = namedAs;
        out.kind = kind;
        out.values = values;
        out.plan.section = namedAs.str();
        out.plan.mode = plan.mode;
        out.plan.note = plan.note;
        for (const PlanValue& value : plan.values) out.plan.values.push_back({value.key, value.value, nullptr});
        return out;
    }
};

// A message the updater would have shown while loading, kept instead.
struct KeptMessage {
    MessageId id;
    std::string text;
};

class ScriptChecker {
public:
    ScriptChecker(const IniFile& ini, RunContext& run, std::vector<KeptMessage>& kept, Findings& findings)
        : ini_(ini), run_(run), kept_(kept), findings_(findings) {}

    Plan run() {
        Plan plan;
        Text source;
        run_.symbols.lookupSymbol("<Src>", source);
        plan.source = source.str();
        plan.encoding = encodingName(run_.script.encoding());
        checkEncoding();
        Text rollback;
        if (run_.script.readString("UPDATER", "ROLLBACK", rollback)) {
            expandValue(run_.symbols, rollback);
            undoable_ = rollback.toInt() != 0;
        }
        elevate_ = elevateSetting(run_);
        findGuardedRoots();

        const std::string startStop = "before it runs anything";
        const Text updater("UPDATER");
        PlanValue name{"NAME", "", nullptr};
        if (const auto value = readRequired(updater, "NAME", 0, startStop)) name.value = value->str();
        PlanValue proc{"PROC", "", nullptr};
        bool mainListRead = false;
        if (const auto value = readRequired(updater, "PROC", 0, startStop)) {
            proc.value = value->str();
            if (itemCount(*value) == 0) {
                add(lineOf(updater, "PROC"), Severity::Error, updater, "PROC",
                    "is empty: the updater stops with message 4 and runs nothing");
            } else {
                proc.branch = walkList(*value, ListOrigin{"UPDATER", "PROC", lineOf(updater, "PROC"), true});
                mainListRead = true;
            }
        }
        plan.updater.push_back(std::move(name));
        plan.updater.push_back(std::move(proc));
        checkOptionalUpdaterKeys(plan);

        checkDefine();
        checkSections(mainListRead);
        return plan;
    }

private:
    // The messages kept since the last call, oldest first.
    std::vector<KeptMessage> takeMessages() {
        std::vector<KeptMessage> out;
        out.swap(kept_);
        return out;
    }

    void add(int line, Severity severity, const Text& section, const std::string& key, const std::string& message) {
        findings_.add(line, severity, section.str(), key, message);
    }

    // Section names reach the profile reader with their blanks trimmed.
    const IniSection* sectionOf(const Text& section) const {
        const std::string& s = section.str();
        const char* const blanks = " \t\r\n\v\f\x1A";
        const size_t first = s.find_first_not_of(blanks);
        if (first == std::string::npos) return ini_.findSection("");
        return ini_.findSection(s.substr(first, s.find_last_not_of(blanks) - first + 1));
    }

    int sectionLine(const Text& section) const {
        const IniSection* found = sectionOf(section);
        return found ? found->line : 0;
    }

    int lineOf(const Text& section, const char* key) const {
        const IniEntry* entry = ini_.findEntry(section.str(), key);
        return entry ? entry->line : sectionLine(section);
    }

    // Whether the updater's raw reader finds the key, and if not, why not.
    KeyState keyState(const Text& section, const char* key) const {
        Text raw;
        if (run_.script.readString(section.c_str(), key, raw)) return KeyState::Present;
        if (!sectionOf(section)) return KeyState::NoSection;
        const IniEntry* entry = ini_.findEntry(section.str(), key);
        if (!entry) return KeyState::Absent;
        if (!entry->value) return KeyState::NoEquals;
        return KeyState::NoData;
    }

    void reportMissing(const Text& section, const char* key, KeyState state, int referenceLine,
                       const std::string& stop) {
        const std::string consequence = ": the updater stops with message 2 " + stop;
        switch (state) {
            case KeyState::NoSection:
                add(referenceLine, Severity::Error, section, key,
                    "there is no section [" + section.str() + "]" + consequence);
                break;
            case KeyState::Absent:
                add(sectionLine(section), Severity::Error, section, key, "is missing" + consequence);
                break;
            case KeyState::NoEquals:
                add(lineOf(section, key), Severity::Error, section, key,
                    "the line has no \"=\", so the key reads as missing" + consequence);
                break;
            case KeyState::NoData:
                add(lineOf(section, key), Severity::Error, section, key,
                    "the value " + quoted(*ini_.findEntry(section.str(), key)->value) + " reads as a missing key" +
                        consequence);
                break;
            case KeyState::Present:
                break;
        }
    }

    // The value as the updater's loader holds it (readKey, or the raw reader for a key read
    // as an integer), checked for what the reading does to it; none when the key is missing.
    std::optional<Text> readValue(const Text& section, const char* key, bool integer) {
        Text raw;
        if (!run_.script.readString(section.c_str(), key, raw)) return std::nullopt;
        Text value = raw;
        if (!integer) readKey(run_, section.c_str(), key, value);
        takeMessages();
        const int line = lineOf(section, key);
        checkLength(section, key, raw, line);
        if (!integer) checkExpansion(section, key, raw, value, line);
        return value;
    }

    std::optional<Text> readRequired(const Text& section, const char* key, int referenceLine, const std::string& stop) {
        const KeyState state = keyState(section, key);
        if (state != KeyState::Present) {
            reportMissing(section, key, state, referenceLine, stop);
            return std::nullopt;
        }
        return readValue(section, key, false);
    }

    void checkLength(const Text& section, const char* key, const Text& raw, int line) {
        const std::string whole = ini_.profileString(section.str(), key, "", UINT_MAX);
        const std::string& read = raw.str();
        if (whole.size() > read.size() && whole.compare(0, read.size(), read) == 0)
            add(line, Severity::Warning, section, key,
                "the value is " + std::to_string(whole.size()) + " bytes long: the updater reads only its first " +
                    std::to_string(read.size()) + " and drops " + quoted(whole.substr(read.size())));
    }

    void checkExpansion(const Text& section, const char* key, const Text& raw, const Text& value, int line) {
        // Operator groups as the operator pass meets them: after the symbols.
        Text afterSymbols = raw;
        expandSymbols(run_.symbols, afterSymbols);
        for (int i = 0; i < afterSymbols.groupCount("{", "}"); ++i) {
            const Text group = afterSymbols.group(i, "{", "}");
            Text body = group;
            body.trim("{", "}");
            const Text op = body.field(0, "\\");
            const Text argument = body.field(1, "\\");
            // Whether an application is registered is the user's machine's business.
            if (op.equalsNoCase("?App") || op.equalsNoCase("?AppPath")) continue;
            if (op.equalsNoCase("?SpFolder")) {
                if (!isHexWord(argument))
                    add(line, Severity::Warning, section, key,
                        quoted(group) + ": the folder number " + quoted(argument) +
                            " is not \"0x\" in lower case followed by hexadecimal digits, so the updater asks for "
                            "folder 0");
                continue;
            }
            add(line, Severity::Warning, section, key,
                quoted(group) + " is no operator group the updater knows (?App, ?AppPath, ?SpFolder): it stays in "
                                "the value as written");
        }
        for (int i = 0; i < value.groupCount("<", ">"); ++i) {
            const Text reference = value.group(i, "<", ">");
            Text defined;
            const bool known = run_.symbols.lookupSymbol(reference.c_str(), defined);
            if (!known && isBuiltinSymbol(reference)) continue;
            if (known)
                add(line, Severity::Warning, section, key,
                    quoted(reference) + " is left unexpanded: the updater expands only as many references as the "
                                        "value held before, so it reads " + quoted(value));
            else
                add(line, Severity::Warning, section, key,
                    quoted(reference) + " names no symbol: it stays in the value as written, " + quoted(value));
        }
    }

    // A section named by several lists loads the same each time; its faults are reported
    // once, where it is first met.
    CheckedCommand checkCommand(const Text& name, const ListOrigin& origin) {
        const std::string id = ascii::upperCase(name.str());
        const auto known = checked_.find(id);
        if (known == checked_.end()) return checked_.emplace(id, loadCommand(name, origin)).first->second.copy(name);
        return known->second.copy(name);
    }

    CheckedCommand loadCommand(const Text& name, const ListOrigin& origin) {
        CheckedCommand command;
        command.name = name;
        command.values.section = name;
        command.plan.section = name.str();
        const std::string stop = origin.loadStop();

        const KeyState modeState = keyState(name, "MODE");
        if (modeState != KeyState::Present) {
            reportMissing(name, "MODE", modeState, origin.line, stop);
            command.plan.note = modeState == KeyState::NoSection ? "no such section" : "no MODE";
            return command;
        }
        Text mode;
        readKey(run_, name.c_str(), "MODE", mode);
        takeMessages();
        command.plan.mode = mode.str();
        const CommandKind* kind = findCommandKind(run_.kinds, mode);
        if (!kind) {
            add(lineOf(name, "MODE"), Severity::Error, name, "MODE",
                quoted(mode) + " is no kind of command the updater knows: it stops with message 6 " + stop);
            command.plan.note = "no such kind";
            return command;
        }
        command.kind = kind;
        command.plan.mode = kind->mode;

        // The kind's own loader decides what loads; every box it would show becomes a finding.
        const bool loaded = kind->load(run_, name) != nullptr;
        std::vector<KeptMessage> messages = takeMessages();
        if (!loaded) {
            command.plan.note = "would not load";
            bool first = true;
            for (const char* key : kind->keys) {
                if (!key) break;
                const KeyState state = keyState(name, key);
                if (state == KeyState::Present) continue;
                reportMissing(name, key, state, origin.line, stop);
                // The loader stops at the first missing key; the later ones would each stop
                // the next attempt.
                if (first && messages.size() == 1 && messages[0].id == MessageId::KeyMissing &&
                    messages[0].text == formatMessage(MessageId::KeyMissing, {name, key}))
                    messages.clear();
                first = false;
            }
        }
        for (const KeptMessage& message : messages)
            add(sectionLine(name), loaded ? Severity::Warning : Severity::Error, name, "",
                "the updater shows message " + std::to_string(static_cast<int>(message.id)) +
                    " while loading this section" + (loaded ? "" : " and stops " + stop));

        for (const char* key : kind->keys) {
            if (!key) break;
            if (Text(key).equalsNoCase("MODE")) continue;
            const KeyRule* rule = keyRuleOf(kind->mode, key);
            const bool integer = rule && (rule->traits & RawNumber);
            if (const auto value = readValue(name, key, integer)) {
                command.values.values.emplace_back(key, *value);
                command.plan.values.push_back({key, value->str(), nullptr});
            }
        }
        checkKeyValues(kind->mode, command.values, [&](const char* key) { return lineOf(name, key); }, findings_);
        return command;
    }

    // FLAG and SWITCH PROC find their command in the running list only, and its flag is set
    // only once it has run.
    void checkReferences(const std::vector<CheckedCommand>& commands, const Text& list) {
        for (size_t i = 0; i < commands.size(); ++i) {
            const CheckedCommand& command = commands[i];
            if (!command.kind) continue;
            for (const KeyRule* rule : keyRulesOf(command.kind->mode)) {
                if (!(rule->traits & (FlagReference | ProcReference))) continue;
                const Text* value = command.values.value(rule->key);
                if (!value) continue;
                const bool flag = rule->traits & FlagReference;
                // A FLAG of one item is no condition at all: the box always shows.
                if (flag && itemCount(*value) < 2) continue;
                Text target = flag ? listItem(*value, 0) : *value;
                target.trim(" ");
                const int line = lineOf(command.name, rule->key);
                size_t found = commands.size();
                for (size_t j = 0; j < commands.size() && found == commands.size(); ++j)
                    if (!commands[j].name.empty() && commands[j].name.equalsNoCase(target)) found = j;
                if (found == commands.size()) {
                    add(line, Severity::Error, command.name, rule->key,
                        quoted(target) + " names no command of its list, " + quoted(list) +
                            ": the updater stops with message 6 when it reaches [" + command.name.str() + "]");
                    continue;
                }
                if (found < i) continue;
                const std::string which = found == i ? "names [" + command.name.str() + "] itself"
                                                     : quoted(target) + " names a command that comes later in its list";
                const std::string effect =
                    flag ? (value->field(1, ",").toInt() == 0 ? "the box always shows" : "the box never shows")
                         : "the updater always runs branch 0";
                add(line, Severity::Warning, command.name, rule->key,
                    which + ": its flag is still false at this point, so " + effect);
            }
        }
    }

    std::unique_ptr<PlanList> walkList(const Text& list, const ListOrigin& origin) {
        auto plan = std::make_unique<PlanList>();
        const std::string identity = listIdentity(list);
        if (std::find(running_.begin(), running_.end(), identity) != running_.end()) {
            add(origin.line, Severity::Error, Text(origin.section.c_str()), origin.key,
                "the list " + quoted(list) +
                    " leads back into a list that is still running: the updater loads it again and again, one level "
                    "deeper each time, until it stops with message 11");
            plan->shown = PlanList::Shown::Cycle;
            return plan;
        }
        if (!walked_.insert(identity).second) {
            plan->shown = PlanList::Shown::Repeat;
            return plan;
        }
        running_.push_back(identity);

        std::vector<CheckedCommand> commands;
        const ItemList names(list);
        for (int i = 0; i < names.count(); ++i) {
            const Text& name = names[i];
            if (name.empty()) {
                add(origin.line, Severity::Error, Text(origin.section.c_str()), origin.key,
                    "item " + std::to_string(i + 1) + " of " + quoted(list) +
                        " is empty: the updater stops with message 2 (a section without a name) " + origin.loadStop());
                CheckedCommand empty;
                empty.plan.note = "empty item";
                commands.push_back(std::move(empty));
                continue;
            }
            reached_.insert(ascii::upperCase(name.str()));
            commands.push_back(checkCommand(name, origin));
            checkLaunchInUndoableRun(commands.back(), origin, i + 1 == itemCount(list));
        }
        checkReferences(commands, list);
        checkRights(commands);

        for (CheckedCommand& command : commands) {
            for (PlanValue& value : command.plan.values) {
                const KeyRule* rule = command.kind ? keyRuleOf(command.kind->mode, value.key.c_str()) : nullptr;
                if (!rule || !(rule->traits & BranchList)) continue;
                const Text* branch = command.values.value(value.key.c_str());
                if (branch && itemCount(*branch) > 0)
                    value.branch = walkList(*branch, ListOrigin{command.name.str(), value.key,
                                                                lineOf(command.name, value.key.c_str()), false});
            }
            plan->commands.push_back(std::move(command.plan));
        }
        running_.pop_back();
        return plan;
    }

    // Roots that expand to nothing, or to no more than a drive or the root, are no places:
    // everything would lie within them. A root this machine cannot name stays as written and
    // so still matches a script that names it the same way.
    void findGuardedRoots() {
        for (const GuardedPlace& place : guardedPlaces) {
            Text root(place.written);
            expandValue(run_.symbols, root);
            const std::string path = paths::withoutTrailingSeparators(root.str());
            if (path.find('\\') == std::string::npos) continue;
            guardedRoots_.push_back({ascii::upperCase(path), place.name});
        }
    }

    struct GuardedItem {
        const char* key;
        Text item;
        const char* place;
    };

    // The first item of the command's changing keys that lies in a guarded place. A section
    // that would not load stops the run before anything asks for rights.
    std::optional<GuardedItem> guardedItemOf(const CheckedCommand& command) const {
        if (!command.kind || !command.plan.note.empty()) return std::nullopt;
        for (const char* key : command.kind->changes) {
            if (!key) continue;
            const Text* value = command.values.value(key);
            if (!value) continue;
            for (const Text& item : ItemList(*value)) {
                if (item.empty()) continue;
                const std::string path = ascii::upperCase(item.str());
                for (const GuardedRoot& root : guardedRoots_)
                    if (paths::isWithin(path, root.path)) return GuardedItem{key, item, root.name};
            }
        }
        return std::nullopt;
    }

    // The updater settles its rights once, at the start, from what the main list and every
    // list its SWITCHes may branch to change (unless ELEVATE says otherwise).
    void checkRights(std::vector<CheckedCommand>& commands) {
        for (CheckedCommand& command : commands) {
            const std::optional<GuardedItem> guarded = guardedItemOf(command);
            if (!guarded) continue;
            const GuardedItem& found = *guarded;
            command.plan.rights = std::string(found.key) + " in " + found.place;
            if (!rightsReported_.insert(ascii::upperCase(command.name.str())).second) continue;
            const std::string where =
                quoted(found.item) + " lies in " + found.place + ", which only an administrator may change";
            const std::string refusal = refusalMessageOf(command.kind->mode);
            Severity severity = Severity::Note;
            std::string message;
            if (elevate_ == ElevateSetting::Always) {
                message = where + ": ELEVATE=1, so the updater asks for administrator rights at start";
            } else if (elevate_ == ElevateSetting::Never) {
                severity = Severity::Warning;
                message = where + ": ELEVATE=0, so the updater never asks for administrator rights; unless it is "
                                  "started as administrator, " + refusal;
            } else {
                message = where + ": the run needs administrator rights, and the updater asks for them at start";
            }
            add(lineOf(command.name, found.key), severity, command.name, found.key, message);
        }
    }

    // A run that can be undone undoes what it changed, not what a program it started did: a
    // LAUNCH with anything after it that can fail leaves that program's effects behind.
    void checkLaunchInUndoableRun(const CheckedCommand& command, const ListOrigin& origin, bool lastOfItsList) {
        if (!undoable_ || !command.kind || !Text(command.kind->mode).equalsNoCase("LAUNCH")) return;
        if (origin.main && lastOfItsList) return;
        add(lineOf(command.name, "FILE"), Severity::Warning, command.name, "FILE",
            "ROLLBACK=1 undoes what the run changes, not what a program it starts does: if a later step fails or "
            "stops the run, the changes this program made stay");
    }

    // LOG, ROLLBACK, PROGRESS and ELEVATE of UPDATER: optional, so a missing one is no fault;
    // a present one is checked as the updater will read it.
    void checkOptionalUpdaterKeys(Plan& plan) {
        const Text updater("UPDATER");
        if (keyState(updater, "LOG") == KeyState::Present) {
            const auto value = readValue(updater, "LOG", false);
            const int line = lineOf(updater, "LOG");
            if (value && value->empty())
                add(line, Severity::Warning, updater, "LOG", "is empty: the updater writes no log");
            else if (value && !isAbsolutePath(value->str()))
                add(line, Severity::Warning, updater, "LOG",
                    quoted(*value) + " is no full path: the log is written in whatever folder the updater is started "
                                     "in");
            if (value) plan.updater.push_back({"LOG", value->str(), nullptr});
        }
        checkSwitchKey(updater, "ROLLBACK", "undoes a failed run", "undoes nothing", plan);
        checkSwitchKey(updater, "PROGRESS", "shows the progress of long commands", "shows no progress", plan);
        if (keyState(updater, "ELEVATE") == KeyState::Present) {
            const auto value = readValue(updater, "ELEVATE", false);
            if (value && value->str() != "0" && value->str() != "1") {
                const char* reading = "absent and asks for administrator rights where a place needs them";
                if (elevateSettingOf(*value) == ElevateSetting::Always)
                    reading = "1 and asks for administrator rights at start";
                else if (elevateSettingOf(*value) == ElevateSetting::Never)
                    reading = "0 and never asks for administrator rights";
                add(lineOf(updater, "ELEVATE"), Severity::Warning, updater, "ELEVATE",
                    quoted(*value) + " is neither 0 nor 1: the updater reads it as " + reading);
            }
            if (value) plan.updater.push_back({"ELEVATE", value->str(), nullptr});
        }
    }

    // An optional key of UPDATER that is 0 or 1, read as a number: any other value is read,
    // and the warning says how.
    void checkSwitchKey(const Text& updater, const char* key, const char* on, const char* off, Plan& plan) {
        if (keyState(updater, key) != KeyState::Present) return;
        const auto value = readValue(updater, key, false);
        if (value && value->str() != "0" && value->str() != "1")
            add(lineOf(updater, key), Severity::Warning, updater, key,
                quoted(*value) + " is neither 0 nor 1: the updater reads it as " +
                    (value->toInt() != 0 ? std::string("1 and ") + on : std::string("0 and ") + off));
        if (value) plan.updater.push_back({key, value->str(), nullptr});
    }

    // "C:\...", "\\server\share\..." or, on the Linux build, "\...".
    static bool isAbsolutePath(const std::string& path) {
        return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || (!path.empty() && path[0] == '\\');
    }

    // Bytes above ASCII without a mark of the encoding: the system's code page decides what
    // they mean, so the same script names other files on a Windows of another language.
    void checkEncoding() {
        if (run_.script.encoding() != ScriptEncoding::Ansi || !run_.script.holdsNonAscii()) return;
        add(0, Severity::Warning, Text(""), "",
            "the script has no byte-order mark and is not UTF-8, so it is read in the system's code page: a "
            "Windows of another language reads its non-ASCII text differently; save it as UTF-8");
    }

    // DEFINE is expanded once, entry by entry in file order: an entry sees a later entry's
    // value as written, before that entry's own references are expanded.
    void checkDefine() {
        struct Entry {
            Text name;
            Text value;  // as written
            int line;
        };
        Text lines;
        const int count = run_.script.readSection("DEFINE", lines);
        std::vector<int> entryLines;
        if (const IniSection* define = sectionOf(Text("DEFINE"))) {
            for (const IniEntry& entry : define->entries) {
                if ((entry.name.empty() && !entry.value) || (!entry.name.empty() && entry.name[0] == ';')) continue;
                entryLines.push_back(entry.line);
            }
        }
        std::vector<Entry> entries;
        for (int i = 0; i < count; ++i) {
            const Text entry = lines.field(i, "\n");
            const size_t k = entries.size();
            entries.push_back({entry.field(0, "="), entry.field(1, "="),
                               k < entryLines.size() ? entryLines[k] : sectionLine(Text("DEFINE"))});
        }
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            for (int g = 0; g < entry.value.groupCount("<", ">"); ++g) {
                const Text reference = entry.value.group(g, "<", ">");
                if (isBuiltinSymbol(reference)) continue;
                size_t defined = 0;
                while (defined < entries.size() && !entries[defined].name.equalsNoCase(reference)) ++defined;
                if (defined == entries.size() || defined < i) continue;
                // A later entry that expansion would not change gives the same value either way.
                Text expanded = entries[defined].value;
                expandValue(run_.symbols, expanded);
                if (expanded.str() == entries[defined].value.str()) continue;
                Text reads;
                run_.symbols.lookupSymbol(entry.name.c_str(), reads);
                const std::string which = defined == i ? "refers to itself"
                                                       : "refers to " + reference.str() + ", which comes later (line " +
                                                             std::to_string(entries[defined].line) + ")";
                add(entry.line, Severity::Warning, Text("DEFINE"), entry.name.str(),
                    which + ": the updater expands the entries in order, so " + entry.name.str() + " takes " +
                        reference.str() + " before it is expanded and reads " + quoted(reads));
            }
        }
    }

    // Sections the updater never reads: those no list names, and the later ones of a name.
    void checkSections(bool mainListRead) {
        const std::vector<IniSection>& sections = ini_.sections();
        for (size_t k = 1; k < sections.size(); ++k) {
            const IniSection& section = sections[k];
            const Text name(section.name.c_str());
            const IniSection* first = ini_.findSection(section.name);
            if (first != &section) {
                add(section.line, Severity::Warning, name, "",
                    first->line > 0 ? "a section of this name comes earlier (line " + std::to_string(first->line) +
                                          "): the updater reads only that one"
                                    : "a section without a name is never read");
                continue;
            }
            if (name.equalsNoCase("UPDATER") || name.equalsNoCase("DEFINE")) continue;
            // Without a main list every section would be unnamed, which says nothing new.
            if (!mainListRead || reached_.count(ascii::upperCase(section.name))) continue;
            add(section.line, Severity::Warning, name, "", "no list names this section: the updater never reads it");
        }
    }

    const IniFile& ini_;
    RunContext& run_;
    std::vector<KeptMessage>& kept_;
    Findings& findings_;
    std::set<std::string> reached_;     // section names named by any list, upper case
    std::set<std::string> walked_;      // lists already checked
    std::vector<std::string> running_;  // the lists that would be running at this point
    std::map<std::string, CheckedCommand> checked_;  // by section name, upper case
    bool undoable_ = false;                          // ROLLBACK=1
    ElevateSetting elevate_ = ElevateSetting::WhenNeeded;
    std::vector<GuardedRoot> guardedRoots_;
    std::set<std::string> rightsReported_;  // by section name, upper case
};

// The script's full path as the updater would hold it: "\" separators, no long-path prefix.
Text scriptFormOf(const std::string& file) {
    std::string path = os::finalPath(file);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        path = "\\\\" + path.substr(8);
    else if (path.rfind("\\\\?\\", 0) == 0)
        path = path.substr(4);
    if (path.empty()) path = file;
    std::replace(path.begin(), path.end(), '/', '\\');
    return Text(std::move(path));
}

// An executable's path is always reported with "\" separators, whatever the author typed.
Text executablePath(const std::string& exePath, const Text& script) {
    if (!exePath.empty()) {
        std::string path = exePath;
        std::replace(path.begin(), path.end(), '/', '\\');
        return Text(std::move(path));
    }
    return Text(paths::withoutExtension(script.str()) + ".exe");
}

}  // namespace

CheckResult checkScript(const std::string& scriptFile, const std::string& exePath) {
    CheckResult result;
    const Text path = scriptFormOf(scriptFile);
    const uint32_t attributes = os::attributesOf(path.str());
    if (attributes == os::InvalidAttributes || (attributes & os::AttributeDirectory)) return result;

    // A run of the checker's own: the script and the executable where the updater would
    // find them, and every message kept instead of shown.
    RunContext run;
    if (!run.script.load(path.str())) return result;
    result.readable = true;
    result.encoding = run.script.encoding();
    run.kinds = commandKinds();
    run.scriptPath = path;
    run.modulePath = executablePath(exePath, path);
    std::vector<KeptMessage> kept;
    run.keepMessages = [&kept](MessageId id, const std::string& text) { kept.push_back({id, text}); };
    buildSymbolTable(run);
    kept.clear();
    ScriptChecker checker(run.script.ini(), run, kept, result.findings);
    result.plan = renderPlan(checker.run());
    return result;
}
